#include "pdb/pdb_file.h"

#include <cstdint>
#include <limits>

namespace zun {
namespace {

void CheckPosition(int64_t position) {
  if (position < 1) throw FileError("bad position");
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value, int width) {
  for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutFixedText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : ' ');
}

}  // namespace

uint32_t BigEndianAt(std::span<const uint8_t> bytes, size_t width) {
  uint32_t value = 0;
  for (size_t i = 0; i < width; ++i) value = (value << 8) | bytes[i];
  return value;
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

int16_t ReadDocInfo(std::span<const uint8_t> record0, int32_t recordCount, uint8_t& version, int32_t& textRecords) {
  if (record0.size() < kDocInfoSize) return -1;
  version = record0[1];
  textRecords = static_cast<int32_t>(BigEndianAt(record0.subspan(8), 2));
  if (version != 1 && version != 2) return -1;
  return (textRecords >= 1 && textRecords < recordCount) ? 0 : -1;
}

uint32_t DocInfoTextLength(std::span<const uint8_t> record0) { return BigEndianAt(record0.subspan(4), 4); }

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
