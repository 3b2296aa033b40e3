// Prepares a PC text for the handheld: line ends reduced to LF, TABs expanded to blanks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "convert/conversion_env.h"
#include "record/task_record.h"

namespace zun {

// Filters one block: CR becomes LF with crToLf and is dropped without; TAB becomes `tabBlanks`
// blanks when `expandTabs`; every other byte passes. Appends to `out`.
void FilterBlock(const uint8_t* data, size_t size, bool expandTabs, int tabBlanks, bool crToLf,
                 std::vector<uint8_t>& out);

// The path of the text to convert: pcFile itself with "Raw!", else programDir & "zunfilter.tmp";
// empty when the filter failed (an empty or unreadable PC file, an unwritable temporary file).
std::string FilterText(const std::string& pcFile, const TaskRecord& task, ConversionEnv& env);

}  // namespace zun
