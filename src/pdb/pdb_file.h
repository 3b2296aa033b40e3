// Palm database files (".pdb"): the header, chained record lists, records and the DocInfo record
// of a document. Every number in the file is big-endian; offsets inside the file are 0-based,
// positions passed to the byte helpers are 1-based.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "glue/byte_file.h"
#include "glue/codec_loader.h"

namespace zun {

inline constexpr int kPdbHeaderSize = 78;
inline constexpr int kRecordEntrySize = 8;
inline constexpr int kDocInfoSize = 16;
inline constexpr int kDocRecordSize = 4096;
inline constexpr int64_t kMaxRecordSize = 65535;  // a Palm database record's limit
inline constexpr uint32_t kFirstUniqueId = 0x6F8000;
inline constexpr const char* kDocumentType = "TEXt";
inline constexpr const char* kDocumentCreator = "REAd";
// Seconds from 1904-01-01, where Palm time starts, to 1970-01-01.
inline constexpr int64_t kPalmEpochOffset = 2082844800;

// The unsigned big-endian number in the first `width` (1-4) bytes of `bytes`.
uint32_t BigEndianAt(std::span<const uint8_t> bytes, size_t width);
inline constexpr uint8_t kDirtyAttribute = 0x40;

// Byte helpers: they throw FileError when the file cannot be read or written there.
uint8_t ReadByteAt(const ByteFile& file, int64_t position);
int32_t ReadWordAt(const ByteFile& file, int64_t position);  // unsigned 16-bit value
int32_t ReadLongAt(const ByteFile& file, int64_t position);  // signed 32-bit value
std::vector<uint8_t> ReadBytesAt(const ByteFile& file, int64_t position, int64_t count);
void WriteByteAt(ByteFile& file, int64_t position, uint8_t value);
void WriteWordAt(ByteFile& file, int64_t position, uint16_t value);
void WriteLongAt(ByteFile& file, int64_t position, uint32_t value);

// One record list of the chain: where its entries start and which records it holds.
struct RecordList {
  int64_t entriesOffset = 0;
  int64_t firstRecord = 0;
  int32_t count = 0;
};

// A document opened for reading, with its chain of record lists walked once.
class PdbReader {
 public:
  explicit PdbReader(ByteFile file) : file_(std::move(file)) {}
  const ByteFile& File() const { return file_; }
  // Throws FileError for a list outside the file or promising more entries than the file holds,
  // a chain that loops, or counts past 32 bits.
  const std::vector<RecordList>& Lists();
  // The 8-byte entry of record `index`; throws FileError when the file does not hold it.
  std::span<const uint8_t> Entry(int32_t index);

 private:
  ByteFile file_;
  std::vector<RecordList> lists_;
  bool listsRead_ = false;
  // The entries of one list as far as the file holds them, kept so that reading records in turn
  // does not read the entries again.
  size_t cachedList_ = SIZE_MAX;
  std::vector<uint8_t> cachedEntries_;
};

// Statuses: 0 success, -1 failure; out-values are meaningful only on success.
int16_t ReadPdbHeader(PdbReader& reader, std::string& creator, std::string& type, int32_t& recordCount);
int16_t GetRecordEntry(PdbReader& reader, int32_t index, int32_t& offset, uint8_t& attributes);
int16_t ReadPdbRecord(PdbReader& reader, int32_t index, uint8_t& attributes, std::vector<uint8_t>& bytes);
// The same, as a view into the reader's window of the file, valid until the next read from it.
// A record of more than kMaxRecordSize bytes fails (it is never read).
int16_t ReadPdbRecordView(PdbReader& reader, int32_t index, uint8_t& attributes, std::span<const uint8_t>& bytes);
int16_t ReadDocInfo(std::span<const uint8_t> record0, int32_t recordCount, uint8_t& version, int32_t& textRecords);

int16_t WritePdbHeader(ByteFile& file, const DocCodec& codec, const std::string& name, const std::string& type,
                       const std::string& creator, int32_t recordCount);
std::vector<uint8_t> MakeDocInfo(int32_t textLength, int32_t textRecords, bool compressed);
int16_t AppendPdbRecord(ByteFile& file, int32_t index, std::span<const uint8_t> bytes, int32_t category);

}  // namespace zun
