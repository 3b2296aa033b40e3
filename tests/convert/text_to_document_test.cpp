// Text to document: records, DocInfo and name; and for both directions the opening checks, the
// overwrite prompt and a file changed while read; the targets of users.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "convert/conversion_fixture.h"
#include "glue/dates.h"
#include "record/data_file.h"

using zun::TaskAction;
using zuntest::Bytes;

namespace {

class TextToDocument : public zuntest::ConversionTest {};

TEST_F(TextToDocument, CutsTheTextIntoRecordsOf4096BytesBehindDocInfo) {
  for (size_t size : {size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{8192}}) {
    SCOPED_TRACE(size);
    const Bytes content = zuntest::RandomBytes(size, static_cast<uint32_t>(size));
    zuntest::WriteBytes(text, content);
    zun::TaskRecord task = Task(TaskAction::PcToPalm, {{zun::kOptRaw, true}, {zun::kOptCompress, false}});
    task.Category = 9;
    EXPECT_EQ(Status(task), "OK");
    const std::vector<zuntest::StoredRecord> records = zuntest::StoredRecords(document);
    ASSERT_EQ(records.size(), 1 + (size + 4095) / 4096);
    EXPECT_EQ(records[0].bytes,
              zun::MakeDocInfo(static_cast<int32_t>(size), static_cast<int32_t>(size + 4095) / 4096, false));
    EXPECT_EQ(records[0].attributes, 0x40 + 9) << "the category goes with the DocInfo record";
    EXPECT_EQ(records.back().attributes, 0x40);
    EXPECT_EQ(DocumentBytes(), content);
    EXPECT_TRUE(NoTemporaryFiles());
  }
}

TEST_F(TextToDocument, NamesTheDatabaseAfterTheDocumentFile) {
  zuntest::WriteText(text, "x");
  for (const auto& [file, name] : {std::pair<std::string, std::string>{std::string(40, 'L'), std::string(31, 'L')},
                                   {"my.notes.v2", "my.notes.v2"}}) {
    EXPECT_EQ(Status(s.Task(TaskAction::PcToPalm, text, s.files / (file + ".pdb"))), "OK");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(zuntest::ReadBytes(s.files / (file + ".pdb")).data())), name);
  }
}

TEST_F(TextToDocument, OpeningChecksComeFirstInEitherDirectionAndTouchNothing) {
  zuntest::WriteText(text, "text");
  const std::string folder = s.files.Path();
  const std::tuple<TaskAction, std::string, std::string, const char*> cases[] = {
      {TaskAction::PcToPalm, folder, folder, zun::status::kNoPcFile},  // the file read is checked first
      {TaskAction::PcToPalm, text, folder, zun::status::kNoPalmFile},
      {TaskAction::PcToPalm, folder + "missing.txt", document, zun::status::kPcFileMissing},
      {TaskAction::PalmToPc, folder, folder, zun::status::kNoPalmFile},
      {TaskAction::PalmToPc, folder, document, zun::status::kNoPcFile},
      {TaskAction::PalmToPc, text, document, zun::status::kPalmFileMissing},
  };
  for (const auto& [action, pc, palm, status] : cases)
    EXPECT_EQ(Status(s.Task(action, pc, palm)), status) << pc << palm;
  s.host.checks = zun::TargetChecks{{false}};
  EXPECT_EQ(Status(Task(TaskAction::PcToPalm)), zun::status::kNoSourceUser);
  EXPECT_EQ(Status(Task(TaskAction::PalmToPc)), zun::status::kNoSourceUser);
  EXPECT_FALSE(zuntest::Exists(document));
  EXPECT_EQ(zuntest::ReadText(text), "text");
  EXPECT_TRUE(s.host.progressCaptions.empty()) << "nothing was shown";
  s.host.checks = zun::TargetChecks{{true}};
  zuntest::WriteText(text, "");
  EXPECT_EQ(Status(Task(TaskAction::PcToPalm)), zun::status::kPcFileEmpty);
  EXPECT_FALSE(zuntest::Exists(document));
  EXPECT_TRUE(NoTemporaryFiles());
}

// Skip and Stop keep the old file, Overwrite replaces it; a side the both-changed prompt chose
// replaces without a prompt; "do not ask again" turns asking off and stores it, the answer still
// applying to this file.
TEST_F(TextToDocument, AsksBeforeReplacingInEitherDirection) {
  zuntest::TempDir dataFolder;
  zun::DataFile data(dataFolder.Path());
  data.OpenAndCheck();
  for (const TaskAction action : {TaskAction::PcToPalm, TaskAction::PalmToPc}) {
    SCOPED_TRACE(static_cast<int>(action));
    const std::string& target = action == TaskAction::PcToPalm ? document : text;
    zuntest::WriteText(text, "old");
    zuntest::WriteBytes(document, zuntest::MakeDatabase({zun::MakeDocInfo(3, 1, false), zuntest::AsBytes("new")}));
    const Bytes old = zuntest::ReadBytes(target);
    s.host = zun::ScriptedHost{};
    s.host.askOverwrite = true;
    s.host.overwriteAnswers = {{zun::PromptAnswer::Skip, false}, {zun::PromptAnswer::Stop, false}};
    EXPECT_EQ(Status(Task(action)), zun::status::kUserSkippedTask);
    EXPECT_EQ(Status(Task(action)), zun::status::kUserStopped);
    EXPECT_TRUE(s.flags.stopRequested);
    EXPECT_EQ(zuntest::ReadBytes(target), old);
    s.host.overwriteAnswers = {{zun::PromptAnswer::Overwrite, false}, {zun::PromptAnswer::Skip, true}};
    EXPECT_EQ(Status(Task(action)), "OK");
    EXPECT_NE(zuntest::ReadBytes(target), old);
    s.flags = {.sideChosen = true};
    EXPECT_EQ(Status(Task(action)), "OK");
    s.flags = {};
    dataFile = &data;
    EXPECT_EQ(Status(Task(action)), zun::status::kUserSkippedTask);
    EXPECT_FALSE(s.host.askOverwrite);
    EXPECT_FALSE(data.Read(zun::kSettingsRecord).AskOverwrite());
    EXPECT_EQ(Status(Task(action)), "OK");
    EXPECT_EQ(s.host.overwritePrompts, std::vector<std::string>(4, target));
    data.Write(zun::kSettingsRecord, zun::DefaultSettingsRecord());
  }
}

// An editor or a HotSync that saves the file read in place, at the same size: what was read may mix
// old and new bytes, so the target stays as it was.
TEST_F(TextToDocument, AFileRewrittenWhileReadKeepsTheOldTarget) {
  const std::pair<TaskAction, bool> cases[] = {
      {TaskAction::PcToPalm, true}, {TaskAction::PcToPalm, false}, {TaskAction::PalmToPc, false}};
  for (const auto& [action, raw] : cases) {
    SCOPED_TRACE(raw);
    zuntest::WriteText(text, std::string(size_t{3} * 4096, 'a'));
    zuntest::WriteBytes(document, zuntest::MakeDatabase({zun::MakeDocInfo(8, 2, false), {'n', 'e', 'w'}, {'t'}}));
    const std::string& source = action == TaskAction::PcToPalm ? text : document;
    const std::string& target = action == TaskAction::PcToPalm ? document : text;
    const Bytes old = zuntest::ReadBytes(target);
    zuntest::SetModificationTime(source, std::time(nullptr) - 60);  // the rewrite shows in the time alone
    s.host.onLetEventsRun = [path = source] {
      std::FILE* file = std::fopen(path.c_str(), "r+b");
      std::fputc('b', file);
      std::fclose(file);
    };
    EXPECT_EQ(Status(Task(action, {{zun::kOptRaw, raw}})), zun::status::kCouldNotOpen);
    EXPECT_EQ(zuntest::ReadBytes(target), old);
  }
}

class WithUsers : public TextToDocument {
 protected:
  zuntest::FakeUsers users;
  void SetUp() override {
    users.desktop = s.files.Path();
    users.AddUser(11, "Anna");
    users.AddUser(22, "Bert");
    s.users = &users;
    zuntest::WriteText(text, "for the handheld");
  }
  std::string Copy(size_t user) const { return users.BackupDir(user) + "notes.pdb"; }
};

TEST_F(WithUsers, EveryUserGetsACopyCustomIsNotQueuedTheFirstIsStamped) {
  s.host.checks = zun::TargetChecks{{true, true, true}};
  zun::TaskRecord task = Run(Task(TaskAction::PcToPalm));
  ASSERT_EQ(task.Status.Trimmed(), "OK");
  EXPECT_EQ(users.queued, (std::vector<std::pair<int32_t, std::string>>{{11, Copy(0)}, {22, Copy(1)}}));
  EXPECT_EQ(zuntest::ReadBytes(document), zuntest::ReadBytes(Copy(1)));
  // Each copy dated apart from the others as it is queued: the stamp must be the first one's.
  std::time_t when = 1700000000;
  users.onQueue = [&](const std::string& path) { zuntest::SetModificationTime(path, when += 1000); };
  EXPECT_EQ(Run(task).PalmDate, zun::ToAutomationDate(1700001000));
  // A queue that fails is an error, and nothing is stamped.
  users.queueFails = true;
  task = Run(Task(TaskAction::PcToPalm));
  EXPECT_EQ(task.Status.Trimmed(), zun::status::kCouldNotOpen);
  EXPECT_EQ(task.PalmDate, 0.0);
  EXPECT_TRUE(NoTemporaryFiles());
}

TEST_F(WithUsers, ASkippedTargetIsLeftOutAndTheFirstCheckedUserIsTheSource) {
  zuntest::WriteText(Copy(0), "Anna's old copy");
  s.host.askOverwrite = true;
  s.host.checks = zun::TargetChecks{{true, true, false}};
  EXPECT_EQ(Status(Task(TaskAction::PcToPalm)), "OK");
  EXPECT_EQ(zuntest::ReadText(Copy(0)), "Anna's old copy");
  EXPECT_EQ(users.queued, (std::vector<std::pair<int32_t, std::string>>{{22, Copy(1)}}));
  EXPECT_EQ(Status(Task(TaskAction::PcToPalm)), zun::status::kUserSkippedDistribution) << "both copies exist now";
  EXPECT_EQ(users.queued.size(), 1u);
  // A document comes from the first checked user's backup folder, here Bert's.
  s.host.askOverwrite = false;
  s.host.checks = zun::TargetChecks{{false, true, true}};
  zuntest::WriteText(text, "");
  EXPECT_EQ(Status(s.Task(TaskAction::PalmToPc, text, "/somewhere/else/notes.pdb")), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "for the handheld");
}

}  // namespace
