#pragma once
#include "convert/conversion_env.h"
#include "glue/byte_file.h"
#include "record/task_record.h"

namespace zun {

// Turns the task's PC text into a Palm document and places a copy at every checked target,
// queueing it for installation for each user. The outcome is the task's Status and, on success,
// its stamps; Stop in a prompt sets env.flags.stopRequested.
void ConvertTextToDocument(TaskRecord& task, ConversionEnv& env);
// The same for a text that is no file of the user's (the clipboard's): `text` stands for the PC
// file, which is neither looked for nor stamped.
void ConvertTextToDocument(TaskRecord& task, ConversionEnv& env, ByteFile text);

}  // namespace zun
