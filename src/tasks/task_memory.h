// What a run knows of a task while it carries it out: the base of its last conversion, and the
// rule for what it replaces. A file that still holds what that conversion read or wrote is
// replaced as it is; anything else (a side the user changed, a target the task never wrote, any
// file of a task without a base) is first copied into the Trash.
#pragma once
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "convert/conversion_env.h"
#include "record/task_record.h"
#include "tasks/base_store.h"

namespace zun {

class TaskMemory {
 public:
  // Hooks the rule into env.beforeReplace for as long as the object lives (nothing when the env
  // keeps no bases and uses no Trash).
  TaskMemory(const TaskRecord& task, ConversionEnv& env);
  ~TaskMemory();
  TaskMemory(const TaskMemory&) = delete;
  TaskMemory& operator=(const TaskMemory&) = delete;

  // The task's base, read at the first call; nothing when bases are off or there is none.
  const std::optional<Base>& LoadedBase();
  // Whether the file on this side holds a readable text other than the base's: a change, whatever
  // its time says (saved again within the stamps' tolerance). False without a base.
  bool ChangedSinceBase(const std::string& path, ConversionEnv::Side side);
  // Before `path` (which exists) is replaced: a copy into the Trash unless it still holds the
  // base's text of its side, once per file and task. Fails the task (TaskFailure) when the copy
  // cannot be made.
  void BeforeReplace(const std::string& path, ConversionEnv::Side side);
  // `path` holds nothing that its replacement loses (a side that already holds the merged text):
  // no copy of it during this task.
  void NothingToLose(const std::string& path);
  // After the task ended: when its status is "OK", the PC file and the document at the first
  // target become the new base (a base that cannot be stored is removed, never left stale).
  void Remember(const TaskRecord& task);

 private:
  bool StillHolds(const std::string& path, ConversionEnv::Side side);
  // The text of the file on this side as the base holds it; nothing when it cannot be read.
  std::optional<std::string> SideText(const std::string& path, ConversionEnv::Side side);
  // The document the base pairs with the PC file: the one at the task's first target.
  std::string Document() const;
  // Long reads and writes let the window's events run.
  std::function<void()> LetEventsRun() const;

  ConversionEnv& env_;
  std::string pcFile_;
  std::string palmFile_;
  bool baseLoaded_ = false;
  std::optional<Base> base_;
  std::set<std::string> settled_;  // copied during this task, or with nothing to lose; links followed
  bool hooked_ = false;
};

}  // namespace zun
