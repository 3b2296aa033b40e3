// zundata.dat: record 1 the settings, record 2 the clipboard task, record k + 2 the task in row k.
// Every write puts a whole record at once; a failure throws FileError.
#pragma once
#include <cstdint>
#include <string>

#include "glue/byte_file.h"
#include "record/task_record.h"

namespace zun {

inline constexpr const char* kDataFileName = "zundata.dat";
inline constexpr const char* kDataTemporaryName = "zundata.tmp";
inline constexpr int32_t kSettingsRecord = 1;
inline constexpr int32_t kClipboardRecord = 2;

inline int32_t TaskRecordNumber(int32_t row) { return row + 2; }

class DataFile {
 public:
  explicit DataFile(std::string programDir);
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // Opens the file (creating it when missing); a file without record 1 or of another version
  // is replaced by a new one holding the two default records.
  void OpenAndCheck();
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // File length / 1208, rounded to the nearest whole number (halves to even).
  int32_t RecordCount() const;
  int32_t TaskCount() const;

  // A record past the end reads as zero bytes.
  TaskRecord Read(int32_t number) const;
  void Write(int32_t number, const TaskRecord& record);

  // Appends a task made from record 1 (stamps 0, blank Status and Reserved); returns its row.
  int32_t AddTask();
  // Removes the task of `row`, compacting through zundata.tmp, which replaces the file at once.
  void DeleteTask(int32_t row);
  // Stores the folders and settings of the task in `row` as the defaults of record 1.
  void SaveAsDefault(int32_t row);

 private:
  void Open();
  void CreateDefaultRecords();

  std::string programDir_;
  std::string path_;
  int fd_ = -1;
};

}  // namespace zun
