// zundoc watch as a program in the background (the zundoc beside this benchmark):
//   watch_bench [IDLE_SECONDS] [RUNS]
// 1. from a text saved (a new file renamed over the old one, as editors save) to its document
//    converted and stored: median, fastest and slowest of RUNS saves, with --quiet 0 (the time
//    the watch adds besides its quiet time) and with the default quiet time of 2 seconds;
// 2. the watcher's processor time and wake-ups over IDLE_SECONDS (default 60) of quiet files;
// 3. 1,000 both-ways tasks, each in a folder of its own (the most folders a list of that size
//    can ask for): the first run of all of them, the inotify watches in use and the memory.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "record/data_file.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::string ExecutableFolder() { return fs::canonical("/proc/self/exe").parent_path().string() + "/"; }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

size_t LineCount(const std::string& path) {
  const std::string text = ReadAll(path);
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// A watch on `data`, its lines in `out`, without J-Pilot or a session bus.
pid_t StartWatch(const std::string& data, const std::string& quiet, const std::string& out, const std::string& home) {
  std::vector<std::string> words = {ExecutableFolder() + "zundoc", "watch", "--dir", data, "--quiet", quiet};
  std::vector<std::string> env = {"HOME=" + home, "JPILOT_HOME=" + home, "XDG_DATA_HOME=" + home,
                                  "DBUS_SESSION_BUS_ADDRESS=unix:path=" + home + "/nobus"};
  std::vector<char*> argv, envp;
  for (std::string& word : words) argv.push_back(word.data());
  for (std::string& var : env) envp.push_back(var.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&files);
  return pid;
}

void AwaitLines(const std::string& out, size_t count) {
  while (LineCount(out) < count) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// A field of /proc/PID/status, such as "VmRSS:"; its first number.
long StatusField(pid_t pid, const std::string& field) {
  std::istringstream status(ReadAll("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(field)) return std::atol(line.c_str() + field.size());
  }
  return -1;
}

// Processor time (user and system) so far, in milliseconds, from /proc/PID/stat.
long CpuMilliseconds(pid_t pid) {
  std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  long user = 0, system = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) user = std::atol(field.c_str());
    if (i == 15) system = std::atol(field.c_str());
  }
  return (user + system) * 1000 / sysconf(_SC_CLK_TCK);
}

// The inotify watches a process holds, from /proc/PID/fdinfo.
int InotifyWatches(pid_t pid) {
  int watches = 0;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fdinfo")) {
    std::istringstream info(ReadAll(entry.path()));
    for (std::string line; std::getline(info, line);) watches += line.starts_with("inotify wd:") ? 1 : 0;
  }
  return watches;
}

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

rusage Stop(pid_t pid) {
  rusage usage{};
  int status = 0;
  ::kill(pid, SIGTERM);
  ::wait4(pid, &status, 0, &usage);
  return usage;
}

int32_t AddTask(zun::DataFile& data, const std::string& text, const std::string& document) {
  const int32_t number = zun::TaskRecordNumber(data.AddTask());
  zun::TaskRecord task = data.Read(number);
  task.Action = zun::TaskAction::BothWays;
  task.PcFile = text;
  task.PalmFile = document;
  data.Write(number, task);
  return number;
}

// Saves, each time the watch is quiet again, and times each until its line is printed.
void TimeSaves(const std::string& work, const std::string& quiet, int runs) {
  const std::string data = work + "/latency-" + quiet, text = data + "/notes.txt", out = data + ".out";
  fs::create_directories(data);
  WriteAll(text, "first\n");
  {
    zun::DataFile file(data + "/");
    file.OpenAndCheck();
    AddTask(file, text, data + "/notes.pdb");
  }
  const pid_t pid = StartWatch(data, quiet, out, work);
  AwaitLines(out, 1);
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // not within the same second
    WriteAll(text + ".new", "saved " + std::to_string(run) + "\n");
    const auto start = Clock::now();
    fs::rename(text + ".new", text);
    AwaitLines(out, static_cast<size_t>(run) + 2);
    seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  Stop(pid);
  std::sort(seconds.begin(), seconds.end());
  std::printf("| save to converted, --quiet %s | %.4f s | %.4f s | %.4f s |\n", quiet.c_str(),
              seconds[seconds.size() / 2], seconds.front(), seconds.back());
}

void MeasureIdle(const std::string& work, int idleSeconds) {
  const std::string data = work + "/idle", out = work + "/idle.out";
  fs::create_directories(data);
  WriteAll(data + "/notes.txt", "text\n");
  {
    zun::DataFile file(data + "/");
    file.OpenAndCheck();
    AddTask(file, data + "/notes.txt", data + "/notes.pdb");
  }
  const pid_t pid = StartWatch(data, "2", out, work);
  AwaitLines(out, 1);
  std::this_thread::sleep_for(std::chrono::seconds(3));  // its own writes seen and let go
  const long cpu = CpuMilliseconds(pid);
  const long wakeups = StatusField(pid, "voluntary_ctxt_switches:") + StatusField(pid, "nonvoluntary_ctxt_switches:");
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  const long idleCpu = CpuMilliseconds(pid) - cpu;
  const long idleWakeups =
      StatusField(pid, "voluntary_ctxt_switches:") + StatusField(pid, "nonvoluntary_ctxt_switches:") - wakeups;
  const rusage usage = Stop(pid);
  std::printf("| idle %d s | %ld ms processor time, %ld wake-ups (whole life: %.3f s user, %.3f s system) |\n",
              idleSeconds, idleCpu, idleWakeups, Seconds(usage.ru_utime), Seconds(usage.ru_stime));
}

void MeasureThousandTasks(const std::string& work) {
  constexpr int kTasks = 1000;
  const std::string data = work + "/thousand", out = work + "/thousand.out";
  fs::create_directories(data);
  {
    zun::DataFile file(data + "/");
    file.OpenAndCheck();
    for (int i = 0; i < kTasks; ++i) {
      const std::string folder = work + "/folders/" + std::to_string(i);
      fs::create_directories(folder);
      WriteAll(folder + "/notes.txt", "task " + std::to_string(i) + "\n");
      AddTask(file, folder + "/notes.txt", folder + "/notes.pdb");
    }
  }
  const auto start = Clock::now();
  const pid_t pid = StartWatch(data, "2", out, work);
  AwaitLines(out, kTasks);
  const double firstRun = std::chrono::duration<double>(Clock::now() - start).count();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  std::printf("| %d tasks in %d folders | first run %.2f s, %d inotify watches, %ld KB resident (peak %ld KB) |\n",
              kTasks, kTasks, firstRun, InotifyWatches(pid), StatusField(pid, "VmRSS:"), StatusField(pid, "VmHWM:"));
  Stop(pid);
}

}  // namespace

int main(int argc, char** argv) {
  const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 11;
  char pattern[] = "/tmp/watch_bench.XXXXXX";
  const char* made = ::mkdtemp(pattern);
  if (made == nullptr) return 1;
  const std::string work = made;
  TimeSaves(work, "0", runs);
  TimeSaves(work, "2", runs);
  MeasureIdle(work, idleSeconds);
  MeasureThousandTasks(work);
  fs::remove_all(work);
  return 0;
}
