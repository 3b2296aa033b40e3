// A both-ways task synchronised line by line from its base, where its filters keep lines one to
// one: the changes of both sides merged, or the handheld's changes applied to the PC text.
#pragma once
#include <string>

#include "convert/conversion_env.h"
#include "record/task_record.h"
#include "tasks/task_memory.h"

namespace zun {

// Both sides changed. Merges their changes when the task has a base: what each side holds now
// goes to the Trash as far as it is replaced, the merged text becomes the PC file, and the
// document is made from it as usual (every target, no overwrite prompt). True when the task is
// done (its status set); false when it was not merged, `collision` then saying where the changes
// collide (no places when the sides could not be compared).
bool MergeBothSides(TaskRecord& task, ConversionEnv& env, TaskMemory& memory, const std::string& palmPath,
                    Collision& collision);

// Only the document changed. With a base, the PC text becomes the base's with the handheld's
// edits, so that the lines the handheld did not change keep their bytes (TABs, CR LF, their
// character set); the overwrite prompt asks as for a conversion. A document whose text did not
// change only has its stamps taken ("No update necessary"). True when the task is done; false
// when the document is to be converted as usual.
bool UpdatePcFromBase(TaskRecord& task, ConversionEnv& env, TaskMemory& memory, const std::string& palmPath);

}  // namespace zun
