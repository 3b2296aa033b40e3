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

// Carries out a both-ways task: converts from the side that changed since the last run, asks
// when both did, reports "No update necessary" when neither did.
void RunTask(TaskRecord& task, ConversionEnv& env);

}  // namespace zun
