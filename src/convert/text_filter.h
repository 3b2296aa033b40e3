// Prepares a PC text for the handheld: line ends reduced to LF, TABs expanded to blanks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "convert/conversion_env.h"
#include "glue/byte_file.h"
#include "record/task_record.h"

namespace zun {

// Filters one block: CR becomes LF with crToLf and is dropped without; TAB becomes `tabBlanks`
// blanks when `expandTabs`; every other byte passes. Appends to `out`.
void FilterBlock(const uint8_t* data, size_t size, bool expandTabs, int tabBlanks, bool crToLf,
                 std::vector<uint8_t>& out);

// The text to convert: the PC text itself with "Raw!", else its filtered copy in a private
// temporary file in the program folder that vanishes with it. Throws FileError when the copy
// cannot be written or the PC text changed while it was read.
ByteFile FilterText(ByteFile pcText, const TaskRecord& task, ConversionEnv& env);

}  // namespace zun
