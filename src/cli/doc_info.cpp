#include "cli/doc_info.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "glue/byte_file.h"
#include "pdb/pdb_file.h"

namespace zun {
namespace {

std::string PalmTimeText(uint32_t value) {
  if (value == 0) return "never";
  const std::time_t seconds = static_cast<std::time_t>(int64_t{value} - kPalmEpochOffset);
  std::tm wall{};
  gmtime_r(&seconds, &wall);  // the value already is local wall-clock time
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &wall);
  return text;
}

std::string NameOf(const ByteFile& file) {
  const std::vector<uint8_t> raw = ReadBytesAt(file, 1, 32);
  std::string name;
  for (uint8_t c : raw) {
    if (c == 0) break;
    name += static_cast<char>(c);
  }
  return name;
}

}  // namespace

bool PrintDocumentInfo(const std::string& path, const DocCodec& codec, std::ostream& out, std::ostream& err) {
  try {
    PdbReader reader(ByteFile::OpenForReading(path));
    std::string creator;
    std::string type;
    int32_t count = 0;
    if (ReadPdbHeader(reader, creator, type, count) != 0) {
      err << "zundoc: " << path << ": not a Palm database\n";
      return false;
    }
    const ByteFile& file = reader.File();
    out << "name:     " << NameOf(file) << "\n"
        << "type:     " << type << "\n"
        << "creator:  " << creator << "\n"
        << "created:  " << PalmTimeText(static_cast<uint32_t>(ReadLongAt(file, 37))) << "\n"
        << "modified: " << PalmTimeText(static_cast<uint32_t>(ReadLongAt(file, 41))) << "\n"
        << "records:  " << count << "\n";
    uint8_t attributes = 0;
    std::vector<uint8_t> record;
    if (ReadPdbRecord(reader, 0, attributes, record) == 0 && record.size() >= 16) {
      uint8_t version = 0;
      int32_t textRecords = 0;
      const bool valid = ReadDocInfo(record, count, version, textRecords) == 0;
      const std::span<const uint8_t> info(record);
      out << "docinfo:  version " << int{record[1]} << (version == 2 ? " (compressed)" : "") << ", text length "
          << BigEndianAt(info.subspan(4), 4) << ", text records " << BigEndianAt(info.subspan(8), 2) << ", record size "
          << BigEndianAt(info.subspan(10), 2) << (valid ? "" : " (not valid)") << "\n";
    }
    // A document uses no record past kIndexedRecords; a chain may promise billions.
    const int32_t listed = std::min(count, kIndexedRecords);
    for (int32_t i = 0; i < listed; ++i) {
      if (ReadPdbRecord(reader, i, attributes, record) != 0) {
        out << "record " << i << ": unreadable\n";
        continue;
      }
      char line[96];
      std::snprintf(line, sizeof line, "record %d: %zu bytes, attributes 0x%02X", i, record.size(), attributes);
      out << line;
      if (i > 0 && !record.empty()) {
        const int32_t size = codec.GetUncompSize(record.data(), static_cast<int32_t>(record.size()));
        if (size >= 0) out << ", " << size << " bytes decompressed";
      }
      out << "\n";
    }
    if (listed < count) out << "records " << listed << " to " << count - 1 << ": not read, no document uses them\n";
    return true;
  } catch (const FileError& error) {
    err << "zundoc: " << path << ": " << (error.Reason().empty() ? error.what() : error.Reason()) << "\n";
    return false;
  }
}

}  // namespace zun
