// A document's text read whole into memory, as its records hold it (decompressed; no character
// set applied): what merges and the Trash compare.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "glue/codec_loader.h"

namespace zun {

// Nothing when the file is no readable document of type "TEXt" and creator "REAd", a record does
// not decompress, the records hold less text than DocInfo says (cut short), or the text would pass
// `maxBytes`. `between` is called every 64 records, and while long chains of record lists are
// walked.
std::optional<std::string> ReadDocumentText(
    const std::string& path, const DocCodec& codec, size_t maxBytes = size_t{1} << 30,
    const std::function<void()>& between = [] {});

}  // namespace zun
