#pragma once
#include <ctime>

#include "convert/conversion_env.h"
#include "record/task_record.h"

namespace zun {

// A side changed when its file's time is more than this many seconds off its stamp.
inline constexpr long long kStampTolerance = 5;

// Whether a file time differs from its stamp; a stamp never set (0), or one that is no date this
// program could have written, always counts as changed.
bool SideChanged(double stamp, std::time_t fileTime);

// Carries out a both-ways task: converts from the side that changed since the last run; when
// both did, merges their changes line by line where the task's base allows it and asks where they
// collide; reports "No update necessary" when neither did.
void RunTask(TaskRecord& task, ConversionEnv& env);

// Carries out a task of the list by its Action (nothing for "no conversion"), keeping its base
// and the Trash as the env says.
void CarryOutTask(TaskRecord& task, ConversionEnv& env);

}  // namespace zun
