// Palm database files (".pdb"): the header, chained record lists, records and the DocInfo record
// of a document. Every number in the file is big-endian; offsets inside the file are 0-based,
// positions passed to the byte helpers are 1-based.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
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

// Byte helpers: they throw FileError when the file does not hold the bytes there.
int32_t ReadLongAt(const ByteFile& file, int64_t position);  // signed 32-bit value
std::vector<uint8_t> ReadBytesAt(const ByteFile& file, int64_t position, int64_t count);

// The records a document can use: DocInfo, at most 65,535 text records (DocInfo counts them in 16
// bits) and the entry behind the last text record, which says where that record ends.
inline constexpr int32_t kIndexedRecords = 0x10000 + 1;

// A document opened for reading. The chain of record lists is walked once, in time linear in the
// number of lists, and the entries of the records a document can use are kept (at most
// kIndexedRecords of them, each one read from the file: never more than the file holds).
class PdbReader {
 public:
  struct Entry {
    uint32_t offset = 0;
    uint8_t attributes = 0;
  };

  explicit PdbReader(ByteFile file) : file_(std::move(file)) {}
  const ByteFile& File() const { return file_; }

  // Called now and then while a very long chain is walked (to let pending events run).
  std::function<void()> whileWalking;

  // The number of records over all lists. Throws FileError for a list outside the file or
  // promising more entries than the file holds, a chain that loops or has more lists than the
  // file has room for, or a count past 32 bits.
  int32_t RecordCount();
  // The entry of record `index`; throws FileError for a record the file does not have or past
  // kIndexedRecords.
  Entry EntryOf(int32_t index);

 private:
  void WalkLists();
  void KeepEntries(int64_t entriesOffset, int64_t firstRecord, int32_t count);
  void ReadListBytes(int64_t offset, std::span<uint8_t> out);

  enum class Walk { NotYet, Done, Failed };

  ByteFile file_;
  Walk walk_ = Walk::NotYet;
  int32_t recordCount_ = 0;
  std::vector<Entry> entries_;
  // A few kilobytes of the file around the list read last: a chain of small lists side by side
  // costs one read per block, a chain that jumps about one small read per list.
  std::vector<uint8_t> block_;
  int64_t blockStart_ = 0;
};

// Statuses: 0 success, -1 failure; out-values are meaningful only on success.
int16_t ReadPdbHeader(PdbReader& reader, std::string& creator, std::string& type, int32_t& recordCount);
int16_t GetRecordEntry(PdbReader& reader, int32_t index, int32_t& offset, uint8_t& attributes);
int16_t ReadPdbRecord(PdbReader& reader, int32_t index, uint8_t& attributes, std::vector<uint8_t>& bytes);
// The same, as a view into the reader's window of the file, valid until the next read from it.
// A record of more than kMaxRecordSize bytes fails (it is never read).
int16_t ReadPdbRecordView(PdbReader& reader, int32_t index, uint8_t& attributes, std::span<const uint8_t>& bytes);
int16_t ReadDocInfo(std::span<const uint8_t> record0, int32_t recordCount, uint8_t& version, int32_t& textRecords);
// The text length DocInfo (`record0`, checked by ReadDocInfo) gives. Records that hold less text
// were cut short: a record cut at the end of the file still reads, to less text.
uint32_t DocInfoTextLength(std::span<const uint8_t> record0);

int16_t WritePdbHeader(ByteFile& file, const DocCodec& codec, const std::string& name, const std::string& type,
                       const std::string& creator, int32_t recordCount);
std::vector<uint8_t> MakeDocInfo(int32_t textLength, int32_t textRecords, bool compressed);
int16_t AppendPdbRecord(ByteFile& file, int32_t index, std::span<const uint8_t> bytes, int32_t category);

}  // namespace zun
