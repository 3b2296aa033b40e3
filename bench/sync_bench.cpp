// Conversion runs over 1,000 both-ways tasks, without and with what a run of the task list keeps
// (the bases of the tasks and the Trash), each in a folder of its own: runs over files that did
// not change since the last run (every task ends with "No update necessary"; 41 runs of each, the
// two taking turns, each first every other time, so that both see the same load), then one run with every text changed (every
// task writes and flushes its document, its base and its record). Prints the times. Run it under
// eatmydata as well to see what flushing to disk costs.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "convert/status_texts.h"
#include "glue/codec_loader.h"
#include "hotsync/user_manager.h"
#include "record/data_file.h"
#include "support/scripted_host.h"
#include "tasks/conversion_run.h"
#include "zun2/zun2.h"

namespace {

constexpr int kUnchangedRuns = 41;
const zun::DocCodec kCodec{&Compress, &GetUncompSize, &DeCompress, &CalcPalmTime};

// A data folder with `tasks` both-ways tasks, each with a short text.
struct Folder {
  std::string dir;
  std::unique_ptr<zun::DataFile> data;
  zun::NoUsers users;
  zun::ScriptedHost host;
  zun::RunFlags flags;
  std::unique_ptr<zun::ConversionEnv> env;
  std::vector<double> times;
  bool failed = false;

  Folder(int tasks, bool keep) {
    std::string pattern = (std::filesystem::temp_directory_path() / "zun2-sync-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::exit(1);
    dir = pattern + "/";
    data = std::make_unique<zun::DataFile>(dir);
    data->OpenAndCheck();
    for (int i = 0; i < tasks; ++i) {
      const std::string name = dir + "t" + std::to_string(i);
      std::ofstream(name + ".txt") << "Task " << i << " has a short text of its own.\n";
      const int32_t row = data->AddTask();
      zun::TaskRecord task = data->Read(zun::TaskRecordNumber(row));
      task.Action = zun::TaskAction::BothWays;
      task.PcFile = name + ".txt";
      task.PalmFile = name + ".pdb";
      data->Write(zun::TaskRecordNumber(row), task);
    }
    env = std::make_unique<zun::ConversionEnv>(zun::ConversionEnv{kCodec, users, host, flags, dir, data.get()});
    env->keepBases = env->useTrash = keep;
    Run();  // the documents made, the stamps set
  }
  ~Folder() {
    data->Close();
    std::filesystem::remove_all(dir);
  }
  // One run; its time, and how many tasks ended with `status`.
  std::pair<double, long> Run(const char* status = zun::status::kOk) {
    host.outcomes.clear();
    const auto start = std::chrono::steady_clock::now();
    failed |= zun::RunAllTasks(*data, *env, host).has_value();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, std::count_if(host.outcomes.begin(), host.outcomes.end(),
                                   [status](const auto& outcome) { return outcome.task.Status.Trimmed() == status; })};
  }
  void ChangeEveryText(int tasks) const {
    const auto later = std::filesystem::file_time_type::clock::now() + std::chrono::seconds(60);
    for (int i = 0; i < tasks; ++i) {
      const std::string name = dir + "t" + std::to_string(i) + ".txt";
      std::ofstream(name) << "Task " << i << " has a changed text of its own.\n";
      std::filesystem::last_write_time(name, later);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int tasks = argc > 1 ? std::atoi(argv[1]) : 1000;
  // The Trash, should anything go there.
  ::setenv("XDG_DATA_HOME", (std::filesystem::temp_directory_path() / "zun2-sync-bench-trash").c_str(), 1);
  Folder without(tasks, false);
  Folder with(tasks, true);
  bool allUnchanged = true;
  for (int run = 0; run < kUnchangedRuns; ++run) {
    for (Folder* folder : run % 2 == 0 ? std::array{&without, &with} : std::array{&with, &without}) {
      const auto [seconds, unchanged] = folder->Run(zun::status::kNoUpdateNecessary);
      folder->times.push_back(seconds);
      allUnchanged &= unchanged == tasks;
    }
  }
  for (Folder* folder : {&without, &with}) {
    std::vector<double>& times = folder->times;
    std::sort(times.begin(), times.end());
    std::printf("%d unchanged both-ways tasks %s: median %.4f s, fastest %.4f s\n", tasks,
                folder == &with ? "with bases" : "without bases", times[times.size() / 2], times.front());
  }
  bool allConverted = true;
  for (Folder* folder : {&without, &with}) {
    folder->ChangeEveryText(tasks);
    const auto [seconds, converted] = folder->Run();
    allConverted &= converted == tasks;
    std::printf("%d both-ways tasks %s, every text changed: %.3f s\n", tasks,
                folder == &with ? "with bases" : "without bases", seconds);
  }
  return allUnchanged && allConverted && !without.failed && !with.failed ? 0 : 1;
}
