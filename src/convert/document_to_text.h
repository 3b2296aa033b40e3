#pragma once
#include "convert/conversion_env.h"
#include "glue/byte_file.h"
#include "record/task_record.h"

namespace zun {

// Replaces the task's PC file with the text of its Palm document, read from the first checked
// target. The new text replaces the PC file only once every record was written and is on disk,
// so a damaged document never costs the old text.
void ConvertDocumentToText(TaskRecord& task, ConversionEnv& env);
// The same into `text` (standard output) instead of the PC file, which is neither asked about
// nor stamped: the text goes out as it is decoded, and a failure part-way leaves what went out.
void ConvertDocumentToText(TaskRecord& task, ConversionEnv& env, ByteFile& text);

}  // namespace zun
