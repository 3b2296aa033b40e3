// Two "zundoc run" on one folder at once, one of them killed at a random moment, round after
// round: the data file keeps whole records, every document is whole (one of the texts its task
// ever had), and every task marked "OK" for its current text has a document that reads back as
// that text.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "glue/dates.h"
#include "glue/file_system.h"
#include "record/data_file.h"
#include "support/test_support.h"

namespace {

constexpr int kTasks = 12;
constexpr int kRounds = 20;
constexpr std::time_t kFirstTime = 1700000000;

pid_t StartRun(const std::string& dir, const std::string& home) {
  const pid_t child = ::fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    ::setenv("JPILOT_HOME", home.c_str(), 1);
    ::execl(ZUNDOC_PATH, "zundoc", "run", "--wait", "--dir", dir.c_str(), static_cast<char*>(nullptr));
    ::_exit(99);
  }
  return child;
}

TEST(Stress, TwoRunsAndKillsNeverCorruptWhatTheyKeep) {
  zuntest::TempDir dir;
  zuntest::TempDir home;  // no J-Pilot: "Custom" is the only target
  std::filesystem::create_directory(dir / "docs");
  {
    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    zuntest::ChangeRecord(data, zun::kSettingsRecord,
                          [](zun::TaskRecord& settings) { settings.SetAskOverwrite(false); });
    for (int i = 0; i < kTasks; ++i) {
      const std::string name = "t" + std::to_string(i);
      zuntest::AddTask(data, zun::TaskAction::PcToPalm, dir / (name + ".txt"), dir / ("docs/" + name + ".pdb"));
    }
  }
  std::mt19937 random(42);
  int verified = 0;
  std::vector<std::set<size_t>> textsSeen(kTasks);  // hashes of every text a task had
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    for (int i = 0; i < kTasks; ++i) {
      if (round > 0 && (i + round) % 3 != 0) continue;  // some texts change each round
      const std::string text = dir / ("t" + std::to_string(i) + ".txt");
      const std::string content =
          zuntest::ProseText(20000 + 9000 * static_cast<size_t>(i), static_cast<uint32_t>(round * 100 + i));
      zuntest::WriteText(text, content);
      textsSeen[static_cast<size_t>(i)].insert(std::hash<std::string>{}(content));
      zuntest::SetModificationTime(text, kFirstTime + std::time_t{round} * 60);
    }
    const pid_t first = StartRun(dir.Path(), home.Path());
    const pid_t second = StartRun(dir.Path(), home.Path());
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 120));
    ::kill(round % 2 ? first : second, SIGKILL);
    for (const pid_t child : {first, second}) ::waitpid(child, nullptr, 0);

    const zuntest::Bytes file = zuntest::ReadBytes(dir / "zundata.dat");
    ASSERT_EQ(file.size(), static_cast<size_t>(kTasks + 2) * zun::kTaskRecordSize) << "whole records, none lost";
    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    for (int i = 0; i < kTasks; ++i) {
      const zun::TaskRecord task = data.Read(zun::TaskRecordNumber(i + 1));
      ASSERT_EQ(task.PcFile.Trimmed(), dir / ("t" + std::to_string(i) + ".txt"));
      if (zuntest::Exists(task.PalmFile.Trimmed())) {
        EXPECT_EQ(textsSeen[static_cast<size_t>(i)].count(
                      std::hash<std::string>{}(zuntest::DecodedText(task.PalmFile.Trimmed()))),
                  1u)
            << "task " << i << ": a document that is no whole text";
      }
      const auto time = zun::ModificationTime(task.PcFile.Trimmed());
      if (task.Status.Trimmed() != "OK" || !time || task.PcDate != zun::ToAutomationDate(*time)) continue;
      EXPECT_EQ(zuntest::DecodedText(task.PalmFile.Trimmed()), zuntest::ReadText(task.PcFile.Trimmed()))
          << "task " << i;
      ++verified;
    }
  }
  EXPECT_GT(verified, kTasks * kRounds / 2) << "most rounds end with their tasks done";
}

}  // namespace
