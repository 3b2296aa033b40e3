// Conversion runs over 1,000 both-ways tasks: once with files that did not change since the last
// run (every task ends with "No update necessary"), once with every text changed (every task
// writes and flushes its document and its record). Prints the time of each. Run it under
// eatmydata as well to see what flushing to disk costs.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "convert/status_texts.h"
#include "glue/codec_loader.h"
#include "hotsync/user_manager.h"
#include "record/data_file.h"
#include "support/scripted_host.h"
#include "tasks/conversion_run.h"
#include "zun2/zun2.h"

int main(int argc, char** argv) {
  const int tasks = argc > 1 ? std::atoi(argv[1]) : 1000;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zun2-sync-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string dir = folder.string() + "/";

  zun::DataFile data(dir);
  data.OpenAndCheck();
  for (int i = 0; i < tasks; ++i) {
    const std::string name = dir + "t" + std::to_string(i);
    std::ofstream(name + ".txt") << "Task " << i << " has a short text of its own.\n";
    const int32_t row = data.AddTask();
    zun::TaskRecord task = data.Read(zun::TaskRecordNumber(row));
    task.Action = zun::TaskAction::BothWays;
    task.PcFile = name + ".txt";
    task.PalmFile = name + ".pdb";
    data.Write(zun::TaskRecordNumber(row), task);
  }
  const zun::DocCodec codec{&Compress, &GetUncompSize, &DeCompress, &CalcPalmTime};
  zun::NoUsers users;
  zun::ScriptedHost host;
  zun::RunFlags flags;
  zun::ConversionEnv env{codec, users, host, flags, dir, &data};

  zun::RunAllTasks(data, env, host);  // the first run makes the documents and sets the stamps
  host.outcomes.clear();
  const auto start = std::chrono::steady_clock::now();
  const auto failure = zun::RunAllTasks(data, env, host);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  int unchanged = 0;
  for (const auto& outcome : host.outcomes)
    unchanged += outcome.task.Status.Trimmed() == zun::status::kNoUpdateNecessary;
  std::printf("%d both-ways tasks, %d unchanged: %.3f s%s\n", tasks, unchanged, seconds,
              failure ? " (data file failed)" : "");

  const auto later = std::filesystem::file_time_type::clock::now() + std::chrono::seconds(60);
  for (int i = 0; i < tasks; ++i) {
    const std::string name = dir + "t" + std::to_string(i) + ".txt";
    std::ofstream(name) << "Task " << i << " has a changed text of its own.\n";
    std::filesystem::last_write_time(name, later);
  }
  host.outcomes.clear();
  const auto changedStart = std::chrono::steady_clock::now();
  const auto changedFailure = zun::RunAllTasks(data, env, host);
  const double changedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - changedStart).count();
  int converted = 0;
  for (const auto& outcome : host.outcomes) converted += outcome.task.Status.Trimmed() == zun::status::kOk;
  std::printf("%d both-ways tasks, %d changed texts converted: %.3f s%s\n", tasks, converted, changedSeconds,
              changedFailure ? " (data file failed)" : "");
  std::filesystem::remove_all(folder);
  return unchanged == tasks && converted == tasks && !failure && !changedFailure ? 0 : 1;
}
