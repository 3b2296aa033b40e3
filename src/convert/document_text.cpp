#include "convert/document_text.h"

#include <algorithm>

#include "convert/status_texts.h"

namespace zun {
namespace {

constexpr int32_t kRecordsBetweenEvents = 64;

// Where ReadDocumentText gathers the text.
struct StringOut {
  std::string& text;

  void Append(std::span<const uint8_t> bytes) {
    text.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  std::span<uint8_t> AppendRoom(size_t count) {
    const size_t start = text.size();
    text.resize(start + count);
    return {reinterpret_cast<uint8_t*>(text.data() + start), count};
  }
};

}  // namespace

const char* CheckDocument(DocumentText& document) {
  std::string creator;
  std::string type;
  int32_t recordCount = 0;
  if (ReadPdbHeader(document.reader, creator, type, recordCount) != 0) return status::kBadHeader;
  if (type != kDocumentType || creator != kDocumentCreator) return status::kUnsupportedType;
  if (recordCount < 2) return status::kWrongFormat;
  uint8_t attributes = 0;
  std::span<const uint8_t> record;
  if (ReadPdbRecordView(document.reader, 0, attributes, record) != 0) return status::kNoDocInfo;
  if (ReadDocInfo(record, recordCount, document.version, document.records) != 0) return status::kUnknownDocInfo;
  document.textLength = DocInfoTextLength(record);
  return nullptr;
}

std::optional<std::string> ReadDocumentText(const std::string& path, const DocCodec& codec, size_t maxBytes,
                                            const std::function<void()>& between) {
  try {
    DocumentText document{PdbReader(ByteFile::OpenForReading(path)), path};
    document.reader.whileWalking = between;  // a chain of a million record lists takes a second
    if (CheckDocument(document) != nullptr) return std::nullopt;
    std::string text;
    text.reserve(std::min(maxBytes, static_cast<size_t>(document.records) * kDocRecordSize));
    StringOut out{text};
    for (int32_t i = 1; i <= document.records; ++i) {
      if (PassRecordText(document, codec, i, out) < 0 || text.size() > maxBytes) return std::nullopt;
      if (i % kRecordsBetweenEvents == 0) between();
    }
    if (document.reader.File().ChangedSinceOpening() || text.size() < document.textLength)
      return std::nullopt;  // or cut short
    return text;
  } catch (const std::exception&) {  // unreadable, or too large for memory
    return std::nullopt;
  }
}

}  // namespace zun
