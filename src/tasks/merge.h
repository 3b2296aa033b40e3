// Line merges of a task's two sides (libgit2's diff and three-way merge), in the PC file's form.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "convert/conversion_env.h"
#include "record/task_record.h"
#include "tasks/base_store.h"

namespace zun {

// Makes libgit2 ready, once per process.
void UseLibgit2();

// Whether the task's filters keep lines one to one between its PC text and its document, so that
// line i of one is line i of the other: "CR to LF" (CR LF becomes two line ends) and "Strip HTML"
// do not, unless "Raw!" leaves the text as it is.
bool FiltersKeepLines(const TaskRecord& task);

// The handheld's edits applied to the base PC text: the document's changes since the base, line by
// line; a line the handheld kept is the base PC text's line (its TABs, CR LF and bytes as they
// were), a line it added is that line of `documentAsPc` (the document's text in the PC's form),
// with CR LF when the base PC text ends its lines so. Nothing when the base's two texts, or the
// document's two forms, do not have the same lines.
std::optional<std::string> HandheldEditsOnBase(const Base& base, const std::string& documentText,
                                               const std::string& documentAsPc);

struct LineMerge {
  bool merged = false;
  std::string text;     // merged: both sides' changes
  Collision collision;  // not merged: where they collide
};

// Merges the changes of `ours` and `theirs` since `ancestor`, line by line. Changes on the same
// or on adjacent lines collide, as in git.
LineMerge MergeLines(const std::string& ancestor, const std::string& ours, const std::string& theirs);

}  // namespace zun
