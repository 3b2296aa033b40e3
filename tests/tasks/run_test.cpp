// Running tasks: which side of a both-ways task changed, the 5-second rule, stamps never set; the
// run over all tasks: stopping, the data folder's own files. The run's order, symbols and stored
// records are tested through zundoc run and the watch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <tuple>

#include "convert/conversion_fixture.h"
#include "glue/dates.h"
#include "glue/paths.h"
#include "record/data_file.h"
#include "tasks/base_store.h"
#include "tasks/conversion_run.h"
#include "tasks/task_run.h"

namespace {

constexpr std::time_t kStampTime = 1700000000;

TEST(SideChanged, FiveSecondsIsStillTheSameAndAStampNeverSetAlwaysChanged) {
  const double stamp = zun::ToAutomationDate(kStampTime);
  for (const int seconds : {-5, 0, 5}) EXPECT_FALSE(zun::SideChanged(stamp, kStampTime + seconds)) << seconds;
  for (const int seconds : {-6, 6}) EXPECT_TRUE(zun::SideChanged(stamp, kStampTime + seconds)) << seconds;
  // Never set, or nothing the program writes: NaN, infinite, out of the date range.
  for (const double never : {0.0, std::nan(""), double{INFINITY}, -double{INFINITY}, 1e300, -1e7}) {
    EXPECT_TRUE(zun::SideChanged(never, kStampTime)) << never;
  }
}

class BothWays : public zuntest::ConversionTest {
 protected:
  // A task whose last run left both files at kStampTime, the document holding "text side".
  zun::TaskRecord SyncedTask() {
    zuntest::WriteText(text, "text side");
    zun::TaskRecord task = Run(Task(zun::TaskAction::PcToPalm));
    EXPECT_EQ(task.Status.Trimmed(), "OK");
    zuntest::SetModificationTime(text, kStampTime);
    zuntest::SetModificationTime(document, kStampTime);
    task.PcDate = task.PalmDate = zun::ToAutomationDate(kStampTime);
    task.Action = zun::TaskAction::BothWays;
    return task;
  }
};

TEST_F(BothWays, TheSideThatChangedDecides) {
  zun::TaskRecord task = SyncedTask();
  zuntest::SetModificationTime(text, kStampTime + 5);
  EXPECT_EQ(Sync(task), "No update necessary");

  zuntest::SetModificationTime(document, kStampTime + 6);
  EXPECT_EQ(Sync(task), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "text side") << "the text made anew from the document";
  EXPECT_EQ(Sync(task), zun::status::kNoUpdateNecessary) << "the new stamps match";

  zuntest::WriteText(text, "edited on the PC");
  zuntest::SetModificationTime(text, kStampTime + 60);
  EXPECT_EQ(Sync(task), "OK");
  EXPECT_EQ(zuntest::DecodedText(document), "edited on the PC");
  EXPECT_EQ(s.host.bothChangedPrompts, 0);

  std::remove(document.c_str());  // a missing side is made from the other
  EXPECT_EQ(Sync(task), "OK");
  std::remove(text.c_str());
  EXPECT_EQ(Sync(task), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "edited on the PC");
  std::remove(text.c_str());
  std::remove(document.c_str());
  EXPECT_EQ(Sync(task), "Error: PC File and Palm File does not exist");
}

TEST_F(BothWays, ChecksComeFirstAndAConversionErrorIsTheOutcome) {
  zun::TaskRecord task = Task(zun::TaskAction::BothWays);  // its files named, no target checked
  s.host.checks = zun::TargetChecks{{false}};
  EXPECT_EQ(Sync(task), "Error: no user (or custom) selected");

  s.host.checks = zun::TargetChecks{{true}};
  task = SyncedTask();
  zuntest::WriteBytes(document, zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, false), {'x'}}, "Data"));
  zuntest::SetModificationTime(document, kStampTime + 60);
  EXPECT_EQ(Sync(task), "Error: Palm File type or creator not supported");
  EXPECT_EQ(zuntest::ReadText(text), "text side");
}

class ConversionRun : public ::testing::Test {
 protected:
  zuntest::ConversionSetup s;
  zun::DataFile data{s.programDir.Path()};

  void SetUp() override {
    data.OpenAndCheck();
    s.host.onShowTask = [this](int32_t row) {
      s.host.checks = zun::ChecksFromTargets(data.Read(zun::TaskRecordNumber(row)).Targets, 1);
    };
  }
  // Adds a PC-to-Palm task whose text exists.
  void AddTextTask(const std::string& name) {
    zuntest::WriteText(s.files / (name + ".txt"), "text of " + name);
    zuntest::AddTask(data, zun::TaskAction::PcToPalm, s.files / (name + ".txt"), s.files / (name + ".pdb"));
  }
  std::optional<std::string> Run() {
    zun::ConversionEnv env = s.Env();
    env.data = &data;
    return zun::RunAllTasks(data, env, s.host);
  }
};

// What a stopped run leaves in the tasks shows through zundoc run and the window.
TEST_F(ConversionRun, StopDuringTheFirstTaskEndsAfterItAndIsClearedForTheNextRun) {
  AddTextTask("a");
  AddTextTask("b");
  s.host.onLetEventsRun = [this] {
    if (s.host.shownRows.size() == 1) s.flags.stopRequested = true;  // the button, pressed once
  };
  Run();
  EXPECT_EQ(s.host.shownRows, std::vector<int32_t>{1});
  EXPECT_FALSE(s.flags.stopRequested);
}

// The data folder's own files are never a task's, by whatever name: the task list itself (read or
// written), a hard link to it, a link to a backup not made yet, the lock by another path, a task's
// base; in either direction and both ways. Nothing changes.
TEST_F(ConversionRun, TheDataFoldersOwnFilesAreNoTasksFiles) {
  const std::string folder = s.programDir.Path(), document = s.files / "doc.pdb", text = s.files / "doc.txt";
  zuntest::WriteBytes(document, zuntest::MakeDatabase({zun::MakeDocInfo(4, 1, false), zuntest::AsBytes("text")}));
  zuntest::WriteText(text, "text");
  std::filesystem::create_hard_link(folder + "zundata.dat", s.files / "hard.pdb");
  std::filesystem::create_symlink(folder + "zundata.bak", s.files / "backup.txt");
  const std::string lock = folder + "../" + zun::PathFileName(folder.substr(0, folder.size() - 1)) + "/zundata.lock";
  const std::tuple<zun::TaskAction, std::string, std::string> tasks[] = {
      {zun::TaskAction::PalmToPc, folder + "zundata.dat", document},
      {zun::TaskAction::PcToPalm, folder + "zundata.dat", s.files / "new.pdb"},
      {zun::TaskAction::PcToPalm, text, s.files / "hard.pdb"},
      {zun::TaskAction::PalmToPc, s.files / "backup.txt", document},
      {zun::TaskAction::BothWays, text, lock},
      {zun::TaskAction::PalmToPc, folder + zun::kBaseFolderName + "/" + zun::BaseKey(text, document), document},
  };
  std::filesystem::create_directory(folder + zun::kBaseFolderName);
  for (const auto& [action, pc, palm] : tasks) zuntest::AddTask(data, action, pc, palm);
  s.host.askOverwrite = false;
  EXPECT_FALSE(Run().has_value());
  ASSERT_EQ(zuntest::ReadBytes(folder + "zundata.dat").size(), 8u * zun::kTaskRecordSize) << "the list is still there";
  for (int32_t number = 3; number <= 8; ++number) {
    EXPECT_EQ(data.Read(number).Status.Trimmed(), "Error: file belongs to ZUN2's data folder") << number;
  }
  EXPECT_FALSE(zuntest::Exists(folder + "zundata.bak") || zuntest::Exists(s.files / "new.pdb"));
  EXPECT_EQ(std::filesystem::file_size(folder + "zundata.lock"), 0u);
  EXPECT_EQ(zuntest::ReadText(text), "text");
}

}  // namespace
