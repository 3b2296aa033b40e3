// Any bytes as zundata.dat: the data file opens (or starts anew), every record encodes to what it
// decodes from, a stamp compares without overflow, and a task can be deleted.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "fuzz_folder.h"
#include "record/data_file.h"
#include "tasks/task_run.h"

using zunfuzz::Folder;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * zun::kTaskRecordSize) return 0;
  const std::string path = Folder() + zun::kDataFileName;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  try {
    zun::DataFile store(Folder());
    store.OpenAndCheck();
    for (int32_t number = 1; number <= store.RecordCount(); ++number) {
      const zun::TaskRecord record = store.Read(number);
      const auto bytes = zun::EncodeTaskRecord(record);
      if (zun::EncodeTaskRecord(zun::DecodeTaskRecord(bytes)) != bytes) __builtin_trap();
      zun::SideChanged(record.PcDate, std::time(nullptr));
    }
    if (store.TaskCount() > 0) store.DeleteTask(1);
  } catch (const zun::FileError&) {
  }
  std::remove(path.c_str());
  return 0;
}
