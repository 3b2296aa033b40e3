#include "pdb/pdb_file.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace zun {
namespace {

constexpr int64_t kNextListOffset = 72;
constexpr int64_t kMinimumHeaderLength = 82;

void CheckPosition(int64_t position) {
  if (position < 1) throw FileError("bad position");
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value, int width) {
  for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutFixedText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : ' ');
}

std::string TextAt(const ByteFile& file, int64_t offset, int64_t count) {
  const std::vector<uint8_t> bytes = ReadBytesAt(file, offset + 1, count);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

uint32_t BigEndianAt(std::span<const uint8_t> bytes, size_t width) {
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) value = (value << 8) | bytes[i];
  return value;
}

uint8_t ReadByteAt(const ByteFile& file, int64_t position) {
  CheckPosition(position);
  uint8_t value = 0;
  file.ReadAt(position - 1, {&value, 1});
  return value;
}

int32_t ReadWordAt(const ByteFile& file, int64_t position) {
  CheckPosition(position);
  uint8_t b[2];
  file.ReadAt(position - 1, b);
  return static_cast<int32_t>(BigEndianAt(b, 2));
}

int32_t ReadLongAt(const ByteFile& file, int64_t position) {
  CheckPosition(position);
  uint8_t b[4];
  file.ReadAt(position - 1, b);
  return static_cast<int32_t>(BigEndianAt(b, 4));
}

std::vector<uint8_t> ReadBytesAt(const ByteFile& file, int64_t position, int64_t count) {
  CheckPosition(position);
  if (count < 0) throw FileError("negative count");
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  file.ReadAt(position - 1, bytes);
  return bytes;
}

void WriteByteAt(ByteFile& file, int64_t position, uint8_t value) {
  CheckPosition(position);
  file.WriteAt(position - 1, {&value, 1});
}

void WriteWordAt(ByteFile& file, int64_t position, uint16_t value) {
  CheckPosition(position);
  const uint8_t b[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  file.WriteAt(position - 1, b);
}

void WriteLongAt(ByteFile& file, int64_t position, uint32_t value) {
  CheckPosition(position);
  const uint8_t b[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                        static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  file.WriteAt(position - 1, b);
}

const std::vector<RecordList>& PdbReader::Lists() {
  if (listsRead_) return lists_;
  std::vector<RecordList> lists;
  int64_t total = 0;
  // A list at offset L keeps its next-list offset at L and its count at L + 4; the first list
  // is the one in the header. Distinct lists lie at distinct offsets, so a longer chain loops.
  int64_t listOffset = kNextListOffset;
  const int64_t maxLists = file_.Length() / 6 + 1;
  for (;;) {
    if (static_cast<int64_t>(lists.size()) >= maxLists) throw FileError("record lists form a loop");
    const int32_t count = ReadWordAt(file_, listOffset + 4 + 1);
    // A list that promises more entries than the file holds fails now, not record by record.
    if (listOffset + 6 + int64_t{kRecordEntrySize} * count > file_.Length())
      throw FileError("record list past the end");
    lists.push_back({listOffset + 6, total, count});
    total += count;
    if (total > std::numeric_limits<int32_t>::max()) throw FileError("record count overflows");
    const int32_t next = ReadLongAt(file_, listOffset + 1);
    if (next == 0) break;
    listOffset = next;
  }
  lists_ = std::move(lists);
  listsRead_ = true;
  return lists_;
}

int16_t ReadPdbHeader(PdbReader& reader, std::string& creator, std::string& type, int32_t& recordCount) {
  const ByteFile& file = reader.File();
  if (file.Length() < kMinimumHeaderLength) return -1;
  type = TextAt(file, 60, 4);
  creator = TextAt(file, 64, 4);
  const std::vector<RecordList>& lists = reader.Lists();  // chain errors reach the caller
  recordCount = static_cast<int32_t>(lists.back().firstRecord + lists.back().count);
  return 0;
}

std::span<const uint8_t> PdbReader::Entry(int32_t index) {
  const std::vector<RecordList>& lists = Lists();
  for (size_t n = 0; n < lists.size(); ++n) {
    const RecordList& list = lists[n];
    if (index < list.firstRecord || index >= list.firstRecord + list.count) continue;
    if (cachedList_ != n) {
      const int64_t available = std::max<int64_t>(0, file_.Length() - list.entriesOffset);
      const int64_t size = std::min<int64_t>(int64_t{kRecordEntrySize} * list.count, available);
      cachedEntries_.clear();
      cachedList_ = SIZE_MAX;
      const std::span<const uint8_t> bytes =
          file_.View(std::min(list.entriesOffset, file_.Length()), static_cast<size_t>(size));
      cachedEntries_.assign(bytes.begin(), bytes.end());
      cachedList_ = n;
    }
    const size_t at = static_cast<size_t>(kRecordEntrySize) * static_cast<size_t>(index - list.firstRecord);
    if (at + kRecordEntrySize > cachedEntries_.size()) throw FileError("record entry past the end");
    return std::span<const uint8_t>(cachedEntries_).subspan(at, kRecordEntrySize);
  }
  throw FileError("no such record");
}

int16_t GetRecordEntry(PdbReader& reader, int32_t index, int32_t& offset, uint8_t& attributes) {
  try {
    if (index < 0) return -1;
    const std::span<const uint8_t> entry = reader.Entry(index);
    offset = static_cast<int32_t>(BigEndianAt(entry, 4));
    attributes = entry[4];
    return 0;
  } catch (const FileError&) {
    return -1;
  }
}

int16_t ReadPdbRecordView(PdbReader& reader, int32_t index, uint8_t& attributes, std::span<const uint8_t>& bytes) {
  try {
    int32_t offset = 0;
    if (GetRecordEntry(reader, index, offset, attributes) != 0) return -1;
    int32_t nextOffset = 0;
    uint8_t nextAttributes = 0;
    const int64_t fileLength = reader.File().Length();
    const int64_t end = (index < std::numeric_limits<int32_t>::max() &&
                         GetRecordEntry(reader, index + 1, nextOffset, nextAttributes) == 0)
                            ? nextOffset
                            : fileLength;
    const int64_t length = end - offset;
    if (length < 0 || offset < 0 || offset > fileLength || length > fileLength - offset) return -1;
    if (length > kMaxRecordSize) return -1;  // no Palm record is larger: the file is damaged
    bytes = reader.File().View(offset, static_cast<size_t>(length));
    return 0;
  } catch (const FileError&) {
    return -1;
  }
}

int16_t ReadPdbRecord(PdbReader& reader, int32_t index, uint8_t& attributes, std::vector<uint8_t>& bytes) {
  std::span<const uint8_t> view;
  if (ReadPdbRecordView(reader, index, attributes, view) != 0) return -1;
  bytes.assign(view.begin(), view.end());
  return 0;
}

int16_t ReadDocInfo(std::span<const uint8_t> record0, int32_t recordCount, uint8_t& version, int32_t& textRecords) {
  if (record0.size() < kDocInfoSize) return -1;
  version = record0[1];
  textRecords = static_cast<int32_t>(BigEndianAt(record0.subspan(8), 2));
  if (version != 1 && version != 2) return -1;
  return (textRecords >= 1 && textRecords < recordCount) ? 0 : -1;
}

int16_t WritePdbHeader(ByteFile& file, const DocCodec& codec, const std::string& name, const std::string& type,
                       const std::string& creator, int32_t recordCount) {
  try {
    std::vector<uint8_t> header;
    header.reserve(kPdbHeaderSize + kRecordEntrySize * static_cast<size_t>(recordCount > 0 ? recordCount : 0) + 2);
    // Name: the text, one NUL, blanks up to 32 bytes; 32 bytes or more are cut with no NUL.
    PutFixedText(header, name.size() >= 32 ? name.substr(0, 32) : name + '\0', 32);
    PutBigEndian(header, 0, 2);  // attributes
    PutBigEndian(header, 0, 2);  // version
    const uint32_t now = codec.CalcPalmTime();
    PutBigEndian(header, now, 4);  // creation date
    PutBigEndian(header, now, 4);  // modification date
    PutBigEndian(header, 0, 4);    // last backup date
    PutBigEndian(header, 0, 4);    // modification number
    PutBigEndian(header, 0, 4);    // application info offset
    PutBigEndian(header, 0, 4);    // sort info offset
    PutFixedText(header, type, 4);
    PutFixedText(header, creator, 4);
    PutBigEndian(header, 0, 4);  // unique ID seed
    PutBigEndian(header, 0, 4);  // next record list
    PutBigEndian(header, static_cast<uint32_t>(recordCount), 2);
    if (recordCount == 0) {
      PutBigEndian(header, 0, 2);  // the gap behind an empty record list
    } else {
      for (int32_t i = 0; i < recordCount; ++i) {
        PutBigEndian(header, 0, 4);
        PutBigEndian(header, kFirstUniqueId + static_cast<uint32_t>(i), 4);
      }
    }
    file.WriteAt(0, header);
    return 0;
  } catch (const FileError&) {
    return -1;
  }
}

std::vector<uint8_t> MakeDocInfo(int32_t textLength, int32_t textRecords, bool compressed) {
  std::vector<uint8_t> info;
  info.reserve(kDocInfoSize);
  PutBigEndian(info, compressed ? 2 : 1, 2);
  PutBigEndian(info, 0, 2);
  PutBigEndian(info, static_cast<uint32_t>(textLength), 4);
  PutBigEndian(info, static_cast<uint32_t>(textRecords), 2);
  PutBigEndian(info, kDocRecordSize, 2);
  PutBigEndian(info, 0, 4);
  return info;
}

int16_t AppendPdbRecord(ByteFile& file, int32_t index, std::span<const uint8_t> bytes, int32_t category) {
  try {
    const int64_t offset = file.Length();
    if (offset > std::numeric_limits<int32_t>::max()) return -1;
    const int64_t entry = kPdbHeaderSize + int64_t{kRecordEntrySize} * index;
    // The record's offset and its attribute byte lie side by side: one write for both.
    const uint8_t fields[5] = {static_cast<uint8_t>(offset >> 24), static_cast<uint8_t>(offset >> 16),
                               static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset),
                               static_cast<uint8_t>(kDirtyAttribute | (category & 0x0F))};
    file.WriteAt(entry, fields);
    file.Append(bytes);
    return 0;
  } catch (const FileError&) {
    return -1;
  }
}

}  // namespace zun
