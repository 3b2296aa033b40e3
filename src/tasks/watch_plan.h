// What an unattended watch over a task list decides: which files each task is watched for, which
// tasks a set of changed files concerns, and when the files have been quiet long enough to run
// them. The watching itself (inotify) is FolderWatcher's; zundoc watch and the window's "Convert on
// change" both follow this plan.
#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hotsync/user_manager.h"
#include "record/task_record.h"

namespace zun {

class DataFile;

// How long files must be quiet before their tasks run, unless told otherwise.
inline constexpr std::chrono::milliseconds kDefaultQuietTime{2000};

// Every task record of the data file, in list order.
std::vector<TaskRecord> ReadTaskList(const DataFile& data);

// The files of one task: its PC file and the document of its first target (a user's backup copy
// or the custom folder's file), as absolute paths; `document` is empty without a target.
struct TaskFiles {
  std::string pcFile;
  std::string document;
  // Whose change runs the task: both for both ways, only the source for one way (its target is
  // what the task writes), neither for no conversion.
  bool pcStarts = false;
  bool documentStarts = false;
};

// `programDir` (with its trailing separator) is where relative paths start, as in a run.
TaskFiles FilesOfTask(const TaskRecord& task, UserManager& users, int32_t installEntries,
                      const std::string& programDir);

class WatchPlan {
 public:
  WatchPlan(std::string programDir, UserManager& users, int32_t installEntries);

  // The task list as the data file holds it now (row k is tasks[k - 1]). Tasks the plan has not
  // seen before, with these files and settings, are due: at the first call every task.
  void Follow(const std::vector<TaskRecord>& tasks);
  // The folders to watch: each starting file's (also where its links lead), and the data folder.
  std::set<std::string> Folders() const;

  // A changed path as the watcher reports it. True when it matters: a starting file of a task, or
  // the data file changed by another program (the task list must then be read again).
  bool Changed(const std::string& path);
  // Folders watched anew (they appeared, or a link now leads elsewhere): the starting files found
  // in them count as changed. Whether there were any.
  bool FoldersAppeared(const std::set<std::string>& folders);
  // The watcher lost track (its queue overflowed): every task may be due.
  void AllChanged() { allChanged_ = true; }
  bool TaskListChanged() const { return taskListChanged_; }

  // Whether anything is to run: the task list changed, or a task the changes concern is out of
  // step as far as the plan knows. A task is out of step when a starting file is missing, was
  // never converted, or is not the file its last conversion left: another time than its stamp,
  // or (for a run of this plan's) another file than that run left, also within the same second.
  // It is in step while its files are as this plan's last run of it found them (what that run
  // made of them stands: a task left for the user is not run, nor the user told, again).
  // A task that does not name both its files and a target yet is being set up: never due.
  bool RunDue() const;
  // The rows to run now, in list order: the tasks concerned by the changes since the last call,
  // and new ones, each only when it is out of step. Forgets what it answered.
  std::vector<int32_t> TakeDueRows();

  // Before an unattended run of row `row`: a both-ways task whose starting file changed so little
  // after its stamp that its run would see no change (a save a few seconds after the last
  // conversion) forgets that stamp, so the run converts it. Notes the files as the run finds them.
  void PrepareTask(int32_t row, TaskRecord& task);
  // After row `row` ran: its stamps, and its files as the run left them (the side it converted
  // from as the run found it: a save there meanwhile is still to run).
  void TaskRan(int32_t row, const TaskRecord& task);
  // The data file as this program left it: a change reported later that leaves it so (its own
  // writes) is no change of the task list.
  void DataFileLeft();

  const TaskFiles& Files(int32_t row) const { return rows_.at(static_cast<size_t>(row - 1)).files; }
  int32_t TaskCount() const { return static_cast<int32_t>(rows_.size()); }

 private:
  struct Row {
    size_t settings = 0;  // a hash of what the task does, stamps and status left out
    TaskFiles files;
    std::vector<std::string> reported;  // the starting files, also as found behind their links
    double pcDate = 0;
    double palmDate = 0;
    bool fresh = false;
  };
  // The files of the task in hand as its run found them, and the side it converts from.
  struct Found {
    std::string pcFile;
    std::string document;
    bool pcSource = false;
    bool documentSource = false;
  };
  // A file as a run of this plan's found and left it, with the stamp that run gave it and the
  // settings of the task that ran.
  struct Left {
    double stamp = 0;
    std::string signature;
    std::string before;
    size_t settings = 0;
    bool stands = false;  // the run did not fail
  };
  enum class Side { InStep, Changed, Hidden };
  Side SideState(const std::string& path, double stamp, size_t settings) const;
  bool OutOfStep(const Row& row) const;
  bool Concerned(const Row& row) const;

  std::string programDir_;
  std::string dataFile_;
  UserManager& users_;
  int32_t installEntries_;
  std::vector<Row> rows_;
  std::set<std::string> reported_;          // every row's reported paths
  std::map<size_t, int32_t> seenSettings_;  // how many tasks had these settings
  std::set<size_t> freshSettings_;          // of new tasks not yet taken as due
  std::map<std::string, Left> left_;        // by path
  Found found_;
  bool followed_ = false;
  std::set<std::string> changedPaths_;
  bool allChanged_ = false;
  bool taskListChanged_ = false;
  std::string dataFileLeft_;  // the data file's signature as this program left it
};

// The quiet time: changes restart it, and it is over once nothing changed for its length.
class QuietTime {
 public:
  using Clock = std::chrono::steady_clock;
  explicit QuietTime(std::chrono::milliseconds length) : length_(length) {}

  void Changed(Clock::time_point now) { end_ = now + length_; }
  bool Running() const { return end_.has_value(); }
  // What is left of it (zero when over); nothing when no change is waiting.
  std::optional<std::chrono::milliseconds> Left(Clock::time_point now) const;
  void Reset() { end_.reset(); }

 private:
  std::chrono::milliseconds length_;
  std::optional<Clock::time_point> end_;
};

}  // namespace zun
