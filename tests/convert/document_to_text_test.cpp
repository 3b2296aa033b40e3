// Document to text: every reader check with its status, the old PC file kept on failure,
// prompts, targets and stamps.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "convert/document_to_text.h"
#include "convert/status_texts.h"
#include "glue/dates.h"
#include "pdb/pdb_file.h"
#include "support/test_support.h"

using zuntest::Bytes;
using zuntest::ConversionSetup;

namespace {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class DocumentToText : public ::testing::Test {
 protected:
  ConversionSetup s;
  std::string text = s.files / "notes.txt";
  std::string document = s.files / "notes.pdb";

  std::string Convert(zun::TaskRecord* out = nullptr) {
    zun::TaskRecord task = s.Task(zun::TaskAction::PalmToPc, text, document);
    zun::ConversionEnv env = s.Env();
    zun::ConvertDocumentToText(task, env);
    if (out) *out = task;
    return task.Status.Trimmed();
  }
  void WriteDocument(const std::vector<Bytes>& records, const std::string& type = "TEXt") {
    zuntest::WriteBytes(document, zuntest::MakeDatabase(records, type));
  }
};

TEST_F(DocumentToText, WritesTheRecordsUnchangedAndStampsBothFiles) {
  WriteDocument({zun::MakeDocInfo(9, 2, false), Text("line\r\n"), Text("end")});
  zun::TaskRecord task;
  EXPECT_EQ(Convert(&task), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "line\r\nend");
  struct stat info {};
  ASSERT_EQ(::stat(document.c_str(), &info), 0);
  EXPECT_EQ(task.PalmDate, zun::ToAutomationDate(info.st_mtime));
  ASSERT_EQ(::stat(text.c_str(), &info), 0);
  EXPECT_EQ(task.PcDate, zun::ToAutomationDate(info.st_mtime));
  EXPECT_EQ(s.host.progressMaximum, 2);
  EXPECT_FALSE(s.host.progressShown);
}

TEST_F(DocumentToText, ReadsOnlyTheRecordsDocInfoAnnounces) {
  WriteDocument({zun::MakeDocInfo(2, 1, false), Text("a"), Text("not text")});
  EXPECT_EQ(Convert(), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "a");
  EXPECT_EQ(s.host.trayFrames, (std::vector<int32_t>{1, 1})) << "one record shows frame 1";
}

TEST_F(DocumentToText, ReaderFailuresKeepTheOldTextAndStamps) {
  struct Case {
    const char* what;
    Bytes file;
    const char* status;
  };
  Bytes header = zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, false), Text("x")});
  Bytes shortFile(header.begin(), header.begin() + 81);
  Bytes badRecord0 = zuntest::MakeDatabase({Text("short"), Text("x")});
  Bytes badVersion = header;
  badVersion[78 + 16 + 1] = 3;
  Bytes lostRecord = header;
  lostRecord[78 + 8 + 1] = 0x7F;  // record 1 far past the end
  // Record 2 starts before record 1, so record 1 has a negative length.
  Bytes backwards = zuntest::MakeDatabase({zun::MakeDocInfo(2, 2, false), Text("a"), Text("b")});
  backwards[78 + 16 + 3] = 0;
  const std::vector<Case> cases = {
      {"81 bytes", shortFile, zun::status::kBadHeader},
      {"type in other case", zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, false), Text("x")}, "TEXT"),
       zun::status::kUnsupportedType},
      {"one record only", zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, false)}), zun::status::kWrongFormat},
      {"DocInfo too short", badRecord0, zun::status::kUnknownDocInfo},
      {"version 3", badVersion, zun::status::kUnknownDocInfo},
      {"N equals the count", zuntest::MakeDatabase({zun::MakeDocInfo(1, 2, false), Text("x")}),
       zun::status::kUnknownDocInfo},
      {"record beyond the end", lostRecord, zun::status::kNoDocInfo},
      {"text record before its predecessor", backwards, zun::status::kCorrupt},
      {"undecodable record", zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, true), Bytes{'a', 0x80}}),
       zun::status::kCouldNotOpen},
      {"record larger than a Palm record can be", zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, false), Bytes(70000, 'x')}),
       zun::status::kCorrupt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zuntest::WriteText(text, "precious");
    zuntest::WriteBytes(document, c.file);
    zun::TaskRecord task;
    EXPECT_EQ(Convert(&task), c.status);
    EXPECT_EQ(zuntest::ReadText(text), "precious");
    EXPECT_EQ(task.PcDate, 0.0);
    EXPECT_EQ(task.PalmDate, 0.0);
  }
  const auto leftovers = std::distance(std::filesystem::directory_iterator(s.files.Path()), {});
  EXPECT_EQ(leftovers, 2) << "no temporary file left beside the text";
}

TEST_F(DocumentToText, ADocumentWrittenToWhileReadKeepsTheOldText) {
  // A HotSync that rewrites the document in place while it is decoded: the text could mix both.
  WriteDocument({zun::MakeDocInfo(8, 2, false), Text("new "), Text("text")});
  zuntest::WriteText(text, "precious");
  int events = 0;
  s.host.onLetEventsRun = [&] {
    if (++events == 2) {
      std::FILE* file = std::fopen(document.c_str(), "ab");
      std::fputc('!', file);
      std::fclose(file);
    }
  };
  EXPECT_EQ(Convert(), zun::status::kCouldNotOpen);
  EXPECT_EQ(zuntest::ReadText(text), "precious");
}

TEST_F(DocumentToText, ChecksComeFirst) {
  EXPECT_EQ(Convert(), zun::status::kPalmFileMissing);
  zun::TaskRecord task = s.Task(zun::TaskAction::PalmToPc, s.files.Path(), s.files.Path());
  zun::ConversionEnv env = s.Env();
  zun::ConvertDocumentToText(task, env);
  EXPECT_EQ(task.Status.Trimmed(), zun::status::kNoPalmFile) << "the Palm file is checked first";
  task.PalmFile = document;
  zun::ConvertDocumentToText(task, env);
  EXPECT_EQ(task.Status.Trimmed(), zun::status::kNoPcFile);
  s.host.checks = zun::TargetChecks{{false}};
  EXPECT_EQ(Convert(), zun::status::kNoSourceUser);
}

TEST_F(DocumentToText, PromptsBeforeReplacingTheText) {
  WriteDocument({zun::MakeDocInfo(3, 1, false), Text("new")});
  zuntest::WriteText(text, "old");
  s.host.askOverwrite = true;
  s.host.overwriteAnswers = {{zun::PromptAnswer::Skip, false}, {zun::PromptAnswer::Stop, false}, {zun::PromptAnswer::Overwrite, false}};
  EXPECT_EQ(Convert(), zun::status::kUserSkippedTask);
  EXPECT_EQ(Convert(), zun::status::kUserStopped);
  EXPECT_TRUE(s.flags.stopRequested);
  EXPECT_EQ(zuntest::ReadText(text), "old");
  EXPECT_EQ(Convert(), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "new");
  s.flags.sideChosen = true;
  EXPECT_EQ(Convert(), "OK");
  EXPECT_EQ(s.host.overwritePrompts, std::vector<std::string>(3, text));
}

TEST_F(DocumentToText, ReadsFromTheFirstCheckedUsersBackupFolder) {
  zuntest::FakeUsers users;
  users.desktop = s.files.Path();
  users.AddUser(5, "Anna");
  s.users = &users;
  s.host.checks = zun::TargetChecks{{true, true}};  // the user and "Custom": the user wins
  zuntest::WriteBytes(users.BackupDir(0) + "notes.pdb",
                      zuntest::MakeDatabase({zun::MakeDocInfo(4, 1, false), Text("anna")}));
  zun::TaskRecord task = s.Task(zun::TaskAction::PalmToPc, text, "/somewhere/else/notes.pdb");
  zun::ConversionEnv env = s.Env();
  zun::ConvertDocumentToText(task, env);
  EXPECT_EQ(task.Status.Trimmed(), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "anna");
}

// The texts a task's status is made of, word for word as users and callers see them.
TEST(StatusTexts, AreTheSystemsOwnWording) {
  const std::pair<const char*, const char*> texts[] = {
      {zun::status::kOk, "OK"},
      {zun::status::kCouldNotOpen, "Error: Could not open Palm or PC File"},
      {zun::status::kNoSourceUser, "Error: no source user (or custom) selected"},
      {zun::status::kNoUser, "Error: no user (or custom) selected"},
      {zun::status::kNoPcFile, "Error: no PC File selected"},
      {zun::status::kNoPalmFile, "Error: no Palm File selected"},
      {zun::status::kPcFileMissing, "Error: PC File does not exist"},
      {zun::status::kPalmFileMissing, "Error: Palm File does not exist"},
      {zun::status::kBothMissing, "Error: PC File and Palm File does not exist"},
      {zun::status::kPcFileEmpty, "Error: PC File is empty"},
      {zun::status::kCannotCreateHeader, "Error: can't create header of Palm File"},
      {zun::status::kCannotWriteDocInfo, "Error: could not write Palm File docinfo"},
      {zun::status::kCannotWriteRecord, "Error: could not write Palm File record"},
      {zun::status::kBadHeader, "Error: unknown or corrupted Palm File header"},
      {zun::status::kUnsupportedType, "Error: Palm File type or creator not supported"},
      {zun::status::kWrongFormat, "Error: Palm File corrupt or wrong format"},
      {zun::status::kNoDocInfo, "Error: could not get DocInfo of Palm File"},
      {zun::status::kUnknownDocInfo, "Error: DocInfo in Palm File unknown"},
      {zun::status::kCorrupt, "Error: Palm File corrupt"},
      {zun::status::kNoUpdateNecessary, "No update necessary"},
      {zun::status::kUserSkippedTask, "User skipped task"},
      {zun::status::kUserStopped, "User stopped conversion"},
      {zun::status::kUserSkippedDistribution, "User skipped distribution"},
      {zun::status::kClipboardEmpty, "clipboard was empty"},
  };
  for (const auto& [constant, wording] : texts) EXPECT_STREQ(constant, wording);
}

}  // namespace
