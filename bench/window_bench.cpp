// The window against the engine, offscreen, in one process run:
//   window_bench convert TEXT [RUNS]  a conversion run in the window against zundoc on the same
//                                     file, both ways (median of RUNS), with the window's
//                                     progress redraws per second and its longest wait for events
//   window_bench open TASKS           the window's start with TASKS tasks: seconds and peak memory
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "glue/codec_loader.h"
#include "record/data_file.h"
#include "ui/main_window.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string ExecutableFolder() { return std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/"; }

// The whole zundoc process, as a script would run it.
double TimeZundoc(const std::vector<std::string>& arguments) {
  std::vector<std::string> words = {ExecutableFolder() + "zundoc"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const double seconds = Seconds(start);
  posix_spawn_file_actions_destroy(&quiet);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double PeakMemoryMb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return -1;
}

// A program folder whose only task converts `pcFile` and `palmFile` in `action`'s direction to
// or from "Custom", replacing without asking.
std::string ProgramFolder(const std::string& name, zun::TaskAction action, const std::string& pcFile,
                          const std::string& palmFile) {
  std::string folder = std::filesystem::temp_directory_path().string() + "/zun2-window-bench-" + name + "/";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  zun::DataFile data(folder);
  data.OpenAndCheck();
  zun::TaskRecord settings = data.Read(zun::kSettingsRecord);
  settings.SetAskOverwrite(false);
  data.Write(zun::kSettingsRecord, settings);
  zun::TaskRecord task = data.Read(zun::TaskRecordNumber(data.AddTask()));
  task.Action = action;
  task.PcFile = pcFile;
  task.PalmFile = palmFile;
  data.Write(zun::TaskRecordNumber(1), task);
  return folder;
}

struct WindowRun {
  double seconds = 0;
  double redrawsPerSecond = 0;
  double longestWaitMs = 0;
};

// One click on Convert, timed; meanwhile a 1 ms timer measures how long events wait.
WindowRun RunInWindow(zun::ui::MainWindow& window) {
  auto* convert = window.findChild<QPushButton*>("cmd_convert");
  auto* progress = window.findChild<QProgressBar*>("ProgressBar1");
  int redraws = 0;
  const auto counting = QObject::connect(progress, &QProgressBar::valueChanged, [&redraws] { ++redraws; });
  QTimer probe;
  probe.setInterval(1);
  Clock::time_point last = Clock::now();
  double longest = 0;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - last).count());
    last = Clock::now();
  });
  probe.start();
  const auto start = last = Clock::now();
  convert->click();
  WindowRun run;
  run.seconds = Seconds(start);
  probe.stop();
  QObject::disconnect(counting);
  run.redrawsPerSecond = redraws / run.seconds;
  run.longestWaitMs = longest;
  return run;
}

std::unique_ptr<zun::ui::MainWindow> StartWindow(const std::string& folder) {
  zun::ui::StartOptions options;
  options.programDir = folder;
  options.codecFolders = {ExecutableFolder()};
  auto window = std::make_unique<zun::ui::MainWindow>(std::move(options));
  if (!window->Start()) return nullptr;
  QCoreApplication::processEvents();
  return window;
}

int Convert(const std::string& text, int runs) {
  const std::string work = std::filesystem::temp_directory_path().string() + "/zun2-window-bench/";
  std::filesystem::create_directories(work);
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(work + "share"));  // the Trash, should the window use it
  const std::string windowDocument = work + "window.pdb";
  const std::string zundocDocument = work + "zundoc.pdb";
  auto encoder = StartWindow(ProgramFolder("encode", zun::TaskAction::PcToPalm, text, windowDocument));
  auto decoder = StartWindow(ProgramFolder("decode", zun::TaskAction::PalmToPc, work + "window.txt", windowDocument));
  if (!encoder || !decoder) return 1;
  std::printf(
      "| direction | text bytes | window s | zundoc s | window / zundoc | progress redraws per s | longest wait for "
      "events ms |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  struct Direction {
    const char* name;
    zun::ui::MainWindow& window;
    std::vector<std::string> zundoc;
  };
  for (const Direction& direction :
       {Direction{"text to document", *encoder, {"encode", text, zundocDocument}},
        Direction{"document to text", *decoder, {"decode", zundocDocument, work + "zundoc.txt"}}}) {
    std::vector<double> window, zundoc, redraws, waits;
    for (int i = 0; i < runs; ++i) {  // alternating, so both meet the same machine
      const WindowRun run = RunInWindow(direction.window);
      window.push_back(run.seconds);
      redraws.push_back(run.redrawsPerSecond);
      waits.push_back(run.longestWaitMs);
      zundoc.push_back(TimeZundoc(direction.zundoc));
    }
    if (*std::min_element(zundoc.begin(), zundoc.end()) < 0) return 1;
    std::printf("| %s | %lld | %.3f | %.3f | %.2f | %.0f | %.0f |\n", direction.name,
                static_cast<long long>(std::filesystem::file_size(text)), Median(window), Median(zundoc),
                Median(window) / Median(zundoc), Median(redraws), *std::max_element(waits.begin(), waits.end()));
  }
  std::filesystem::remove_all(work);
  return 0;
}

int Open(int tasks) {
  const std::string folder = std::filesystem::temp_directory_path().string() + "/zun2-window-bench-open/";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  {
    zun::DataFile data(folder);
    data.OpenAndCheck();
  }
  {
    std::ofstream file(folder + zun::kDataFileName, std::ios::binary | std::ios::app);
    zun::TaskRecord task = zun::DefaultSettingsRecord();
    for (int i = 0; i < tasks; ++i) {
      task.Action = static_cast<zun::TaskAction>(1 + i % 4);
      task.PcFile = "/home/user/texts/notes-" + std::to_string(i) + ".txt";
      task.PalmFile = "notes-" + std::to_string(i) + ".pdb";
      const auto bytes = zun::EncodeTaskRecord(task);
      file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
  }
  const double before = PeakMemoryMb();
  const auto start = Clock::now();
  auto window = StartWindow(folder);
  const double seconds = Seconds(start);
  if (!window) return 1;
  std::printf("%d tasks: open %.3f s, peak memory %.1f MB (%.1f MB before the window)\n", tasks, seconds,
              PeakMemoryMb(), before);
  window.reset();
  std::filesystem::remove_all(folder);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");  // or xcb, to compare
  QApplication app(argc, argv);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "convert" && argc > 2) return Convert(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
  if (mode == "open") return Open(argc > 2 ? std::atoi(argv[2]) : 100000);
  std::fprintf(stderr, "usage: window_bench convert TEXT [RUNS] | window_bench open [TASKS]\n");
  return 2;
}
