#pragma once
#include <ostream>
#include <string>

#include "glue/codec_loader.h"

namespace zun {

// Prints what a Palm database file holds: header fields, DocInfo and record sizes.
// Returns false when the file cannot be read as a database.
bool PrintDocumentInfo(const std::string& path, const DocCodec& codec, std::ostream& out, std::ostream& err);

}  // namespace zun
