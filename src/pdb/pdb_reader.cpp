// Reading a document: the chain of record lists, walked once, and the records it names.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "pdb/pdb_file.h"

namespace zun {
namespace {

constexpr int64_t kFirstListOffset = 72;  // the header's own list: next-list offset, then count
constexpr int64_t kListHeaderSize = 6;
constexpr int64_t kMinimumHeaderLength = 82;
constexpr size_t kListBlock = 4096;
constexpr int64_t kEntriesPerRead = kListBlock / 2 / kRecordEntrySize;
constexpr int64_t kListsBetweenEvents = 1 << 14;

std::string TextAt(const ByteFile& file, int64_t offset, int64_t count) {
  const std::vector<uint8_t> bytes = ReadBytesAt(file, offset + 1, count);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

int32_t PdbReader::RecordCount() {
  if (walk_ == Walk::Failed) throw FileError("the record lists are damaged");
  if (walk_ == Walk::NotYet) {
    walk_ = Walk::Failed;  // until the walk ends well: a damaged chain is walked only once
    WalkLists();
    walk_ = Walk::Done;
  }
  return recordCount_;
}

PdbReader::Entry PdbReader::EntryOf(int32_t index) {
  if (index < 0 || index >= RecordCount()) throw FileError("no such record");
  if (static_cast<size_t>(index) >= entries_.size()) throw FileError("a record no document uses");
  return entries_[static_cast<size_t>(index)];
}

void PdbReader::WalkLists() {
  // Lists side by side need 6 bytes each: the file has room for no more.
  const int64_t maxLists = file_.Length() / kListHeaderSize + 1;
  // A loop shows as an offset seen before. The offset remembered moves on after 1, 2, 4, 8 ...
  // lists (Brent's method): a loop is found within a few times as many lists as lead to it and
  // form it, with no memory per list.
  int64_t remembered = -1;
  int64_t sinceRemembered = 0;
  int64_t period = 1;
  int64_t offset = kFirstListOffset;
  int64_t total = 0;
  for (int64_t lists = 1;; ++lists) {
    if (offset == remembered) throw FileError("the record lists form a loop");
    if (lists > maxLists) throw FileError("more record lists than the file has room for");
    if (++sinceRemembered == period) {
      remembered = offset;
      period *= 2;
      sinceRemembered = 0;
    }
    uint8_t header[kListHeaderSize];
    ReadListBytes(offset, header);
    const auto count = static_cast<int32_t>(BigEndianAt(std::span(header).subspan(4), 2));
    // A list that promises more entries than the file holds fails now, not record by record.
    if (offset + kListHeaderSize + int64_t{kRecordEntrySize} * count > file_.Length()) {
      throw FileError("a record list reaches past the end");
    }
    KeepEntries(offset + kListHeaderSize, total, count);
    total += count;
    if (total > std::numeric_limits<int32_t>::max()) throw FileError("the record count overflows");
    offset = BigEndianAt(header, 4);
    if (offset == 0) break;
    if (whileWalking && lists % kListsBetweenEvents == 0) whileWalking();
  }
  recordCount_ = static_cast<int32_t>(total);
}

void PdbReader::KeepEntries(int64_t entriesOffset, int64_t firstRecord, int32_t count) {
  const int64_t kept = std::clamp<int64_t>(kIndexedRecords - firstRecord, 0, count);
  uint8_t bytes[kEntriesPerRead * kRecordEntrySize];
  for (int64_t done = 0; done < kept;) {
    const int64_t n = std::min(kEntriesPerRead, kept - done);
    const std::span<uint8_t> piece(bytes, static_cast<size_t>(n * kRecordEntrySize));
    ReadListBytes(entriesOffset + done * kRecordEntrySize, piece);
    for (int64_t i = 0; i < n; ++i) {
      const std::span<const uint8_t> entry = piece.subspan(static_cast<size_t>(i * kRecordEntrySize));
      entries_.push_back(Entry{BigEndianAt(entry, 4), entry[4]});
    }
    done += n;
  }
}

void PdbReader::ReadListBytes(int64_t offset, std::span<uint8_t> out) {
  const int64_t length = file_.Length();
  const auto size = static_cast<int64_t>(out.size());
  if (offset < 0 || offset > length || size > length - offset) throw FileError("a record list past the end");
  const bool inBlock = offset >= blockStart_ && offset + size <= blockStart_ + static_cast<int64_t>(block_.size());
  if (!inBlock) {
    // The block reaches both ways, for chains laid out backwards as well as forwards.
    const int64_t start = std::max<int64_t>(0, offset - static_cast<int64_t>(kListBlock / 2));
    block_.resize(static_cast<size_t>(std::min<int64_t>(kListBlock, length - start)));
    if (ReadAll(file_.Descriptor(), block_, start) != static_cast<int64_t>(block_.size())) {
      block_.clear();
      throw FileError("cannot read the record lists");
    }
    blockStart_ = start;
  }
  std::memcpy(out.data(), block_.data() + (offset - blockStart_), out.size());
}

int16_t ReadPdbHeader(PdbReader& reader, std::string& creator, std::string& type, int32_t& recordCount) {
  try {
    const ByteFile& file = reader.File();
    if (file.Length() < kMinimumHeaderLength) return -1;
    type = TextAt(file, 60, 4);
    creator = TextAt(file, 64, 4);
    recordCount = reader.RecordCount();
    return 0;
  } catch (const FileError&) {
    return -1;  // a chain that the file does not hold is a damaged header
  }
}

int16_t GetRecordEntry(PdbReader& reader, int32_t index, int32_t& offset, uint8_t& attributes) {
  try {
    const PdbReader::Entry entry = reader.EntryOf(index);
    offset = static_cast<int32_t>(entry.offset);
    attributes = entry.attributes;
    return 0;
  } catch (const FileError&) {
    return -1;
  }
}

int16_t ReadPdbRecordView(PdbReader& reader, int32_t index, uint8_t& attributes, std::span<const uint8_t>& bytes) {
  try {
    const PdbReader::Entry entry = reader.EntryOf(index);
    const int64_t fileLength = reader.File().Length();
    // The record ends where the next one starts; the last one at the end of the file.
    const int64_t offset = entry.offset;
    const int64_t end = index + 1 < reader.RecordCount() ? int64_t{reader.EntryOf(index + 1).offset} : fileLength;
    const int64_t length = end - offset;
    if (length < 0 || offset > fileLength || length > fileLength - offset) return -1;
    if (length > kMaxRecordSize) return -1;  // no Palm record is larger: the file is damaged
    bytes = reader.File().View(offset, static_cast<size_t>(length));
    attributes = entry.attributes;
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

}  // namespace zun
