#include "convert/document_text.h"

#include <algorithm>

#include "pdb/pdb_file.h"

namespace zun {
namespace {

constexpr int32_t kRecordsBetweenEvents = 64;

// Appends the text of record `index`; false when it cannot be read or decompressed.
bool AppendRecordText(PdbReader& reader, const DocCodec& codec, int32_t index, bool compressed, std::string& text) {
  uint8_t attributes = 0;
  std::span<const uint8_t> record;
  if (ReadPdbRecordView(reader, index, attributes, record) != 0) return false;
  if (!compressed) {
    text.append(reinterpret_cast<const char*>(record.data()), record.size());
    return true;
  }
  const int32_t size = codec.GetUncompSize(record.data(), static_cast<int32_t>(record.size()));
  if (size < 0) return false;
  const size_t start = text.size();
  text.resize(start + static_cast<size_t>(size));
  return codec.DeCompress(reinterpret_cast<uint8_t*>(text.data() + start), record.data(), size) == size;
}

}  // namespace

std::optional<std::string> ReadDocumentText(const std::string& path, const DocCodec& codec, size_t maxBytes,
                                            const std::function<void()>& between) {
  try {
    PdbReader reader(ByteFile::OpenForReading(path));
    reader.whileWalking = between;  // a chain of a million record lists takes a second
    std::string creator;
    std::string type;
    int32_t recordCount = 0;
    if (ReadPdbHeader(reader, creator, type, recordCount) != 0 || type != kDocumentType ||
        creator != kDocumentCreator || recordCount < 2) {
      return std::nullopt;
    }
    uint8_t attributes = 0;
    std::span<const uint8_t> record;
    uint8_t version = 0;
    int32_t textRecords = 0;
    if (ReadPdbRecordView(reader, 0, attributes, record) != 0 ||
        ReadDocInfo(record, recordCount, version, textRecords) != 0) {
      return std::nullopt;
    }
    const uint32_t textLength = DocInfoTextLength(record);
    std::string text;
    text.reserve(std::min(maxBytes, static_cast<size_t>(textRecords) * kDocRecordSize));
    for (int32_t i = 1; i <= textRecords; ++i) {
      if (!AppendRecordText(reader, codec, i, version != 1, text) || text.size() > maxBytes) return std::nullopt;
      if (i % kRecordsBetweenEvents == 0) between();
    }
    if (reader.File().ChangedSinceOpening() || text.size() < textLength) return std::nullopt;  // or cut short
    return text;
  } catch (const std::exception&) {  // unreadable, or too large for memory
    return std::nullopt;
  }
}

}  // namespace zun
