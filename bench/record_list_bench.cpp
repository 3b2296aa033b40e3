// Documents of 1,000,000 chained record lists, one record in each (DocInfo and 65,535 text records
// of 64 bytes, the rest empty), laid out forwards, backwards and scattered, and a loop of two
// lists at the end of a sparse gigabyte. Converts each to text and prints the time, the memory
// the conversion added to the process at its peak, and the longest time without pending events
// being let run (what a click on Stop waits for).
// usage: record_list_bench [LISTS]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "convert/document_to_text.h"
#include "hotsync/user_manager.h"
#include "support/scripted_host.h"
#include "zun2/zun2.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kListSize = 6 + 8;
constexpr size_t kTextRecords = 0xFFFF;
constexpr size_t kRecordSize = 64;

void Put(std::vector<uint8_t>& bytes, size_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i)
    bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
}

// The document with list k of the chain at slot[k] of the list area.
void WriteChained(const std::string& path, const std::vector<size_t>& slot) {
  const size_t lists = slot.size();
  const size_t records = 78 + lists * kListSize;
  std::vector<uint8_t> file(records + 16 + kTextRecords * kRecordSize, 0);
  std::copy_n("TEXtREAd", 8, file.begin() + 60);
  Put(file, 72, 78 + slot[0] * kListSize, 4);
  for (size_t k = 0; k < lists; ++k) {
    const size_t at = 78 + slot[k] * kListSize;
    Put(file, at, k + 1 < lists ? 78 + slot[k + 1] * kListSize : 0, 4);
    Put(file, at + 4, 1, 2);
    const size_t record = k == 0 ? records : records + 16 + std::min(k - 1, kTextRecords) * kRecordSize;
    Put(file, at + 6, record, 4);
  }
  Put(file, records, 0x0001, 2);  // DocInfo: uncompressed, 65,535 text records
  Put(file, records + 8, kTextRecords, 2);
  for (size_t i = records + 16; i < file.size(); ++i) file[i] = static_cast<uint8_t>('a' + i % 26);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

void WriteLoopInSparseGigabyte(const std::string& path) {
  const uint32_t first = (1u << 30) - 28;
  std::vector<uint8_t> file(78 + 28, 0);
  std::copy_n("TEXtREAd", 8, file.begin() + 60);
  Put(file, 72, first, 4);
  Put(file, 78, first + 14, 4);  // the first list names the second, the second the first
  Put(file, 78 + 4, 1, 2);
  Put(file, 78 + 14, first, 4);
  Put(file, 78 + 18, 1, 2);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || ::pwrite(fd, file.data(), 78, 0) != 78 || ::pwrite(fd, file.data() + 78, 28, first) != 28) std::abort();
  ::close(fd);
}

long StatusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::char_traits<char>::length(field));
  }
  return -1;
}

void Convert(const char* layout, const std::string& document, const std::string& folder) {
  std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
  const long before = StatusKilobytes("VmRSS:");
  const zun::DocCodec codec{&Compress, &GetUncompSize, &DeCompress, &CalcPalmTime};
  zun::NoUsers users;
  zun::ScriptedHost host;
  zun::RunFlags flags;
  Clock::time_point last = Clock::now();
  Clock::duration longest{};
  host.onLetEventsRun = [&] {
    longest = std::max(longest, Clock::now() - last);
    last = Clock::now();
  };
  zun::ConversionEnv env{codec, users, host, flags, folder};
  zun::TaskRecord task;
  task.Action = zun::TaskAction::PalmToPc;
  task.PcFile = folder + "out.txt";
  task.PalmFile = document;
  const Clock::time_point start = last = Clock::now();
  zun::ConvertDocumentToText(task, env);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  longest = std::max(longest, Clock::now() - last);
  std::printf("| %s | %.3f | %ld | %.0f | %s |\n", layout, seconds, StatusKilobytes("VmHWM:") - before,
              std::chrono::duration<double, std::milli>(longest).count(), task.Status.Trimmed().c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t lists = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
  if (lists <= kTextRecords) {
    std::fprintf(stderr, "usage: record_list_bench [LISTS above %zu]\n", kTextRecords);
    return 2;
  }
  const std::filesystem::path where = std::filesystem::temp_directory_path() / "zun2-record-list-bench";
  std::filesystem::remove_all(where);
  std::filesystem::create_directories(where);
  const std::string folder = where.string() + "/";
  std::vector<size_t> slot(lists);
  std::iota(slot.begin(), slot.end(), size_t{0});
  WriteChained(folder + "forwards.pdb", slot);
  std::reverse(slot.begin(), slot.end());
  WriteChained(folder + "backwards.pdb", slot);
  std::shuffle(slot.begin(), slot.end(), std::mt19937_64(1));
  WriteChained(folder + "scattered.pdb", slot);
  WriteLoopInSparseGigabyte(folder + "loop.pdb");
  slot = {};

  std::printf(
      "%zu lists\n\n| layout | s | peak KB added | longest wait for events ms | status |\n|---|---:|---:|---:|---|\n",
      lists);
  for (int run = 0; run < 3; ++run) {
    for (const char* layout : {"forwards", "backwards", "scattered", "loop"}) {
      Convert(layout, folder + layout + ".pdb", folder);
    }
  }
  std::filesystem::remove_all(where);
  return 0;
}
