// zundata.dat: record 1 the settings, record 2 the clipboard task, record k + 2 the task in row k.
// Every write puts a whole record at once; a failure throws FileError.
//
// One writer at a time: whoever opens the data file holds an advisory lock on zundata.lock in
// the same folder until it closes it, so a window and "zundoc run" (or two of either) never
// interleave their reads and writes of the same records. The lock file is only read (anyone who
// may write the data file may lock it, whoever made the lock file).
#pragma once
#include <cstdint>
#include <string>

#include "glue/byte_file.h"
#include "record/task_record.h"

namespace zun {

inline constexpr const char* kDataFileName = "zundata.dat";
inline constexpr const char* kDataBackupName = "zundata.bak";
inline constexpr const char* kDataLockName = "zundata.lock";
inline constexpr const char* kBaseFolderName = "zunbases";  // the tasks' bases (tasks/base_store.h)
inline constexpr int32_t kSettingsRecord = 1;
inline constexpr int32_t kClipboardRecord = 2;

inline int32_t TaskRecordNumber(int32_t row) { return row + 2; }

// Another program (a window or "zundoc run") holds the data folder.
class DataFolderInUse : public FileError {
 public:
  using FileError::FileError;
};

enum class LockWait { No, Yes };

class DataFile {
 public:
  explicit DataFile(std::string programDir);
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // Takes the folder's lock (waiting for it, or throwing DataFolderInUse at once), then opens the
  // file, creating it when missing. A file that cannot be a task list (see data_file_repair.h),
  // has no record 1 or is of another version starts anew with the two default records; what it
  // held is kept as zundata.bak first, and RepairNote says so.
  void OpenAndCheck(LockWait wait = LockWait::No);
  // For the user, when the last OpenAndCheck started the file anew: what was wrong and where the
  // old file is. Empty when the file was used as it was, or was new.
  const std::string& RepairNote() const { return repairNote_; }
  // Closes the file and gives up the lock.
  void Close();
  bool IsOpen() const { return fd_.IsOpen(); }
  const std::string& Path() const { return path_; }
  // The lock's file: beside the file the data file's name leads to, so two folders whose
  // zundata.dat is one file share one lock. Throws FileError as FollowLinks does.
  std::string LockPath() const;

  // File length / 1208, rounded to the nearest whole number (halves to even); throws FileError
  // for a file grown past any task list since it was checked.
  int32_t RecordCount() const;
  int32_t TaskCount() const;

  // A record past the end reads as zero bytes.
  TaskRecord Read(int32_t number) const;
  void Write(int32_t number, const TaskRecord& record);
  // Waits until what was written is on disk.
  void Sync();

  // Appends a task made from record 1 (stamps 0, blank Status and Reserved); returns its row.
  // Throws FileError when the list holds kMaxTasks tasks.
  int32_t AddTask();
  // Removes the task of `row`: the compacted records replace the file in one step.
  void DeleteTask(int32_t row);
  // Stores the folders and settings of the task in `row` as the defaults of record 1.
  void SaveAsDefault(int32_t row);

 private:
  void Lock(LockWait wait);
  void Open();
  void StartAnew(const std::string& why);
  void CreateDefaultRecords();

  std::string programDir_;
  std::string path_;
  std::string repairNote_;
  FileDescriptor fd_;
  FileDescriptor lock_;
};

}  // namespace zun
