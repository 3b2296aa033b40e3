// A document's text, record by record: handed on as it is decoded (conversions), or read whole
// into memory as its records hold it (decompressed; no character set applied), which is what
// merges and the Trash compare.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "glue/codec_loader.h"
#include "pdb/pdb_file.h"

namespace zun {

// A document opened for its text.
struct DocumentText {
  PdbReader reader;
  std::string path;
  uint8_t version = 0;
  int32_t records = 0;      // text records, 1 to N
  uint32_t textLength = 0;  // what DocInfo says they hold
};

// Checks that the file is a document of type "TEXt" and creator "REAd" with text records and
// reads what its DocInfo says of them. nullptr when it is one; else the status of the first check
// that failed. Throws FileError when the file cannot be read.
const char* CheckDocument(DocumentText& document);

// Hands the text of record `index` (1 to document.records) to `out`: as it is, or decompressed
// straight into the room `out` gives. The number of bytes handed on; -1 when the record cannot be
// read or does not decompress (cut short, or damaged).
template <typename Out>
int64_t PassRecordText(DocumentText& document, const DocCodec& codec, int32_t index, Out& out) {
  uint8_t attributes = 0;
  std::span<const uint8_t> record;
  if (ReadPdbRecordView(document.reader, index, attributes, record) != 0) return -1;
  if (document.version == 1) {
    out.Append(record);
    return static_cast<int64_t>(record.size());
  }
  const int32_t size = codec.GetUncompSize(record.data(), static_cast<int32_t>(record.size()));
  if (size < 0) return -1;
  const std::span<uint8_t> text = out.AppendRoom(static_cast<size_t>(size));
  return codec.DeCompress(text.data(), record.data(), size) == size ? size : -1;
}

// The whole text in memory. Nothing when the file is no readable document, a record does not
// decompress, the records hold less text than DocInfo says (cut short), or the text would pass
// `maxBytes`. `between` is called every 64 records, and while long chains of record lists are
// walked.
std::optional<std::string> ReadDocumentText(
    const std::string& path, const DocCodec& codec, size_t maxBytes = size_t{1} << 30,
    const std::function<void()>& between = [] {});

}  // namespace zun
