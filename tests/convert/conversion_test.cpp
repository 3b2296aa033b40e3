// Both directions of a conversion: records, DocInfo and filters of a new document; the records a
// document announces, each reader failure with its status; the opening checks, the overwrite
// prompt and a file changed while read; the targets of users; a peer reading our documents. Status
// texts are spelled out where a user would read them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <tuple>
#include <utility>

#include "convert/conversion_fixture.h"
#include "glue/dates.h"
#include "glue/file_system.h"
#include "record/data_file.h"

using zun::TaskAction;
using zuntest::AsBytes;
using zuntest::Bytes;

namespace {

class TextToDocument : public zuntest::ConversionTest {};

TEST_F(TextToDocument, CutsTheTextIntoRecordsOf4096BytesBehindDocInfo) {
  for (size_t size : {size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{8192}}) {
    SCOPED_TRACE(size);
    const Bytes content = zuntest::RandomBytes(size, static_cast<uint32_t>(size));
    zuntest::WriteBytes(text, content);
    zun::TaskRecord task = Task(TaskAction::PcToPalm, {{zun::kOptRaw, true}, {zun::kOptCompress, false}});
    task.Category = 25;  // as stored on disk; the attribute byte takes its low four bits
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

TEST_F(TextToDocument, OpeningChecksComeFirstInEitherDirectionAndTouchNothing) {
  zuntest::WriteText(text, "text");
  const std::string folder = s.files.Path();
  const std::tuple<TaskAction, std::string, std::string, const char*> cases[] = {
      {TaskAction::PcToPalm, folder, folder, "Error: no PC File selected"},  // the file read is checked first
      {TaskAction::PcToPalm, text, folder, "Error: no Palm File selected"},
      {TaskAction::PcToPalm, folder + "missing.txt", document, "Error: PC File does not exist"},
      {TaskAction::PalmToPc, folder, folder, "Error: no Palm File selected"},
      {TaskAction::PalmToPc, folder, document, "Error: no PC File selected"},
      {TaskAction::PalmToPc, text, document, "Error: Palm File does not exist"},
  };
  for (const auto& [action, pc, palm, status] : cases)
    EXPECT_EQ(Status(s.Task(action, pc, palm)), status) << pc << palm;
  s.host.checks = zun::TargetChecks{{false}};
  for (const TaskAction action : {TaskAction::PcToPalm, TaskAction::PalmToPc})
    EXPECT_EQ(Status(Task(action)), "Error: no source user (or custom) selected");
  EXPECT_FALSE(zuntest::Exists(document));
  EXPECT_EQ(zuntest::ReadText(text), "text");
  EXPECT_TRUE(s.host.progressCaptions.empty()) << "nothing was shown";
  s.host.checks = zun::TargetChecks{{true}};
  zuntest::WriteText(text, "");
  EXPECT_EQ(Status(Task(TaskAction::PcToPalm)), "Error: PC File is empty");
  EXPECT_FALSE(zuntest::Exists(document));
  EXPECT_TRUE(NoTemporaryFiles());
}

// Skip and Stop keep the old file, Overwrite replaces it; "do not ask again" turns asking off and
// stores it, the answer still applying to this file. (A side the both-changed prompt chose replaces
// without a prompt: the merge and clipboard tests.)
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
    EXPECT_EQ(Status(Task(action)), "User skipped task");
    EXPECT_EQ(Status(Task(action)), "User stopped conversion");
    EXPECT_EQ(zuntest::ReadBytes(target), old);
    s.host.overwriteAnswers = {{zun::PromptAnswer::Overwrite, false}, {zun::PromptAnswer::Skip, true}};
    EXPECT_EQ(Status(Task(action)), "OK");
    EXPECT_NE(zuntest::ReadBytes(target), old);
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
  const std::tuple<TaskAction, bool, bool> cases[] = {{TaskAction::PcToPalm, true, false},
                                                      {TaskAction::PcToPalm, false, false},
                                                      {TaskAction::PcToPalm, true, true},  // a converted copy read
                                                      {TaskAction::PalmToPc, false, false}};
  for (const auto& [action, raw, utf8] : cases) {
    zuntest::WriteText(text, std::string(size_t{3} * 4096, 'a') + "é");
    zuntest::WriteBytes(document, zuntest::MakeDatabase({zun::MakeDocInfo(4, 2, false), {'n', 'e', 'w'}, {'t'}}));
    const std::string& source = action == TaskAction::PcToPalm ? text : document;
    const std::string& target = action == TaskAction::PcToPalm ? document : text;
    const Bytes old = zuntest::ReadBytes(target);
    zuntest::SetModificationTime(source, std::time(nullptr) - 60);  // the rewrite shows in the time alone
    s.host.onLetEventsRun = [path = source] {
      std::FILE* file = std::fopen(path.c_str(), "r+b");
      std::fputc('b', file);
      std::fclose(file);
    };
    EXPECT_EQ(Status(Task(action, {{zun::kOptRaw, raw}, {zun::kOptUtf8Text, utf8}})),
              "Error: Could not open Palm or PC File");
    EXPECT_EQ(zuntest::ReadBytes(target), old) << raw << utf8;
    EXPECT_EQ(failure.file, source);
    EXPECT_TRUE(failure.reason.find("changed while it was") != std::string::npos) << failure.reason;
  }
}

// Saved anew (a new file renamed over the old) while the old one was read: the conversion keeps
// what it read, stamped with the old file's time, so the next run converts the new file.
TEST_F(TextToDocument, AFileSavedAnewWhileReadIsStillToConvert) {
  for (const TaskAction action : {TaskAction::PcToPalm, TaskAction::PalmToPc}) {
    zuntest::WriteText(text, "old text");
    zuntest::WriteDocument(document, "old document");
    const std::string& source = action == TaskAction::PcToPalm ? text : document;
    const std::time_t readTime = std::time(nullptr) - 60;
    zuntest::SetModificationTime(source, readTime);
    s.host.onLetEventsRun = [&, saved = false]() mutable {
      if (std::exchange(saved, true)) return;
      const std::string fresh = s.files / "fresh";
      action == TaskAction::PcToPalm ? zuntest::WriteText(fresh, "new text") : zuntest::WriteDocument(fresh, "new");
      std::filesystem::rename(fresh, source);
    };
    zun::TaskRecord task = Run(Task(action));
    EXPECT_EQ(task.Status.Trimmed(), "OK");
    EXPECT_EQ(action == TaskAction::PcToPalm ? task.PcDate : task.PalmDate, zun::ToAutomationDate(readTime));
    EXPECT_EQ(action == TaskAction::PcToPalm ? zuntest::DecodedText(document) : zuntest::ReadText(text),
              action == TaskAction::PcToPalm ? "old text" : "old document");
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
  EXPECT_EQ(Status(Task(TaskAction::PcToPalm)), "User skipped distribution") << "both copies exist now";
  EXPECT_EQ(users.queued.size(), 1u);
  // A document comes from the first checked user's backup folder, here Bert's.
  s.host.askOverwrite = false;
  s.host.checks = zun::TargetChecks{{false, true, true}};
  zuntest::WriteText(text, "");
  EXPECT_EQ(Status(s.Task(TaskAction::PalmToPc, text, "/somewhere/else/notes.pdb")), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "for the handheld");
}

TEST_F(TextToDocument, FiltersBlockByBlockShowsProgressAndStoresTheFilteredLength) {
  std::string content(8192, 'x');
  content[4095] = '\r';  // a CR LF pair split across the two blocks
  content[4096] = '\n';
  content[10] = '\t';
  zuntest::WriteText(text, content);
  zun::TaskRecord task = Task(zun::TaskAction::PcToPalm);
  task.TabSpace = 3;
  ASSERT_EQ(Status(task), "OK");
  content.erase(4095, 1);
  content.replace(10, 1, "   ");
  EXPECT_EQ(zuntest::StoredRecords(document)[0].bytes, zun::MakeDocInfo(8193, 3, true)) << "the filtered length";
  EXPECT_EQ(s.host.progressCaptions, (std::vector<std::string>{"Applying Filters", "Compression", "Progress"}));
  EXPECT_FALSE(s.host.progressShown);
  EXPECT_TRUE(NoTemporaryFiles()) << "the filtered copy has no name";
  EXPECT_EQ(DocumentBytes(), zuntest::AsBytes(content));
  s.host.progressCaptions.clear();
  Run(Task(zun::TaskAction::PcToPalm, {{zun::kOptRaw, true}}));
  EXPECT_EQ(s.host.progressCaptions, (std::vector<std::string>{"Compression", "Progress"}));
  zuntest::WriteText(text, "a\tb");
  task.TabSpace = 32767;  // as stored on disk: the filter keeps to at most 64 blanks
  ASSERT_EQ(Status(task), "OK");
  EXPECT_EQ(DocumentBytes(), zuntest::AsBytes("a" + std::string(64, ' ') + "b"));
}

// Documents read back as their texts, also one that does not compress at all (the conversion's
// buffer must hold every 8 bytes as 9), and Debian's txt2pdbdoc reads them too.
TEST_F(TextToDocument, DocumentsReadBackHereAndInAPeer) {
  const bool peer = std::system("command -v txt2pdbdoc >/dev/null 2>&1") == 0;
  const Bytes dense = zuntest::IncompressibleBytes(10000);
  for (const std::string& content : {zuntest::ReadText(zuntest::TestData("gpl3.txt")), std::string(5000, 'a'),
                                     std::string(dense.begin(), dense.end())}) {
    zuntest::WriteText(text, content);
    ASSERT_EQ(Status(Task(zun::TaskAction::PcToPalm, {{zun::kOptRaw, true}})), "OK");
    EXPECT_EQ(DocumentBytes(), AsBytes(content));
    if (!peer) continue;
    const std::string command = "cd '" + s.files.Path() + "' && txt2pdbdoc -d notes.pdb back.txt >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);  // binary-safe: records written unchanged
    EXPECT_EQ(zuntest::ReadText(s.files / "back.txt"), content);
  }
}

using DocumentToText = TextToDocument;

TEST_F(DocumentToText, WritesTheAnnouncedRecordsUnchangedAndStampsBothFiles) {
  Bytes info = zun::MakeDocInfo(9, 2, false);
  info[0] = 1;  // version 0x0101: only the low byte counts
  zuntest::WriteBytes(document, zuntest::MakeDatabase({info, AsBytes("line\r\n"), AsBytes("end"), {'x'}}));
  zuntest::SetModificationTime(document, 1700000000);
  const zun::TaskRecord task = Run(Task(TaskAction::PalmToPc));
  EXPECT_EQ(task.Status.Trimmed(), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "line\r\nend");
  EXPECT_EQ(std::pair(task.PalmDate, task.PcDate),
            std::pair(zun::ToAutomationDate(1700000000), zun::ToAutomationDate(*zun::ModificationTime(text))));
  EXPECT_EQ(std::pair(s.host.progressMaximum, s.host.progressShown), std::pair(2, false));
}

TEST_F(DocumentToText, ReaderFailuresKeepTheOldTextAndStamps) {
  const Bytes info = zun::MakeDocInfo(1, 1, false);
  const Bytes good = zuntest::MakeDatabase({info, {'x'}});  // two entries: the records start at 94
  const auto patched = [](Bytes file, size_t at, uint8_t value) { return file[at] = value, file; };
  const std::pair<Bytes, const char*> cases[] = {
      {Bytes(good.begin(), good.begin() + 81), "Error: unknown or corrupted Palm File header"},
      {patched(good, 75, 72), "Error: unknown or corrupted Palm File header"},  // its list names itself as the next
      // 82 bytes are header enough for no records.
      {patched(Bytes(good.begin(), good.begin() + 82), 77, 0), "Error: Palm File corrupt or wrong format"},
      {zuntest::MakeDatabase({info, {'x'}}, "TEXT"), "Error: Palm File type or creator not supported"},
      {zuntest::MakeDatabase({info}), "Error: Palm File corrupt or wrong format"},  // as many text records as records
      // No text records, DocInfo cut short, versions 3 and 0.
      {zuntest::MakeDatabase({zun::MakeDocInfo(1, 0, false), {'x'}}), "Error: DocInfo in Palm File unknown"},
      {zuntest::MakeDatabase({Bytes(info.begin(), info.end() - 1), {'x'}}), "Error: DocInfo in Palm File unknown"},
      {patched(good, 94 + 1, 3), "Error: DocInfo in Palm File unknown"},
      {patched(good, 94 + 1, 0), "Error: DocInfo in Palm File unknown"},
      {patched(good, 78 + 8 + 1, 0x7F), "Error: could not get DocInfo of Palm File"},  // record 1 far past the end
      // Record 2 starts before record 1.
      {patched(zuntest::MakeDatabase({zun::MakeDocInfo(2, 2, false), {'a'}, {'b'}}), 78 + 16 + 3, 0),
       "Error: Palm File corrupt"},
      // A pair cut off at the record's end.
      {zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, true), {'a', 0x80}}), "Error: Palm File corrupt"},
      {Bytes(good.begin(), good.begin() + 82), "Error: unknown or corrupted Palm File header"},  // promises entries
  };
  for (const auto& [file, status] : cases) {
    SCOPED_TRACE(status);
    zuntest::WriteText(text, "precious");
    zuntest::WriteBytes(document, file);
    const zun::TaskRecord task = Run(Task(TaskAction::PalmToPc));
    EXPECT_EQ(task.Status.Trimmed(), status);
    EXPECT_EQ(zuntest::ReadText(text), "precious");
    EXPECT_EQ(std::pair(task.PcDate, task.PalmDate), std::pair(0.0, 0.0)) << "no stamps";
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(s.files.Path()), {}), 2) << "no temporary file left";

  // A document cut short anywhere, in its last record too (less text than DocInfo says), fails with
  // the reader's own status, never with that of a file that cannot be opened.
  zuntest::WriteText(text, zuntest::ProseText(4096 + 60, 3));
  ASSERT_EQ(Status(Task(TaskAction::PcToPalm, {{zun::kOptRaw, true}})), "OK");
  const Bytes whole = zuntest::ReadBytes(document);
  for (size_t size = 0; size < whole.size(); ++size) {
    zuntest::WriteBytes(document, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)));
    const std::string status = Run(Task(TaskAction::PalmToPc)).Status.Trimmed();
    EXPECT_TRUE(status != zun::status::kCouldNotOpen && status.starts_with("Error")) << size << " " << status;
  }
}

// A link another user planted in a shared folder (sticky, writable by all) is not followed, to
// read or to write, at the end of a path or inside it, nor to the data file of a data folder
// there; the user's own links and those of the folder's owner are. Root is a victim as any user.
TEST_F(DocumentToText, LinksPlantedInASharedFolderAreNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can make a link of another user";
  constexpr uid_t kNobody = 65534;
  const std::string shared = s.files / "shared/", victim = s.files / "home/.bashrc";
  std::filesystem::create_directories(s.files / "home");
  std::filesystem::create_directory(shared);
  ::chmod(shared.c_str(), 01777);
  zuntest::WriteText(victim, "the victim's own");
  zuntest::WriteText(text, "text");
  ASSERT_EQ(Status(Task(TaskAction::PcToPalm)), "OK");
  const auto plant = [&](const std::string& name, const std::string& target, uid_t owner) {
    std::filesystem::create_symlink(target, shared + name);
    EXPECT_EQ(::lchown((shared + name).c_str(), owner, owner), 0);
    return shared + name;
  };
  const std::string planted = plant("notes.txt", victim, kNobody);
  const std::string inside = plant("home", s.files / "home", kNobody) + "/.bashrc";
  const std::tuple<TaskAction, std::string, std::string> cases[] = {
      {TaskAction::PalmToPc, planted, document},
      {TaskAction::PalmToPc, inside, document},
      {TaskAction::PcToPalm, planted, s.files / "leak.pdb"},
      {TaskAction::PcToPalm, text, plant("notes.pdb", victim, kNobody)},
      {TaskAction::BothWays, planted, document},
  };
  for (const auto& [action, pc, palm] : cases) {
    EXPECT_EQ(Status(s.Task(action, pc, palm)), "Error: link of another user in a shared folder") << pc << " " << palm;
  }
  EXPECT_EQ(zuntest::ReadText(victim), "the victim's own");
  EXPECT_FALSE(zuntest::Exists(s.files / "leak.pdb"));

  EXPECT_EQ(Status(s.Task(TaskAction::PalmToPc, plant("mine.txt", s.files / "mine.txt", 0), document)), "OK");
  ASSERT_EQ(::chown(shared.c_str(), kNobody - 1, kNobody - 1), 0);
  EXPECT_EQ(Status(s.Task(TaskAction::PalmToPc, plant("its.txt", s.files / "its.txt", kNobody - 1), document)), "OK");
  EXPECT_EQ(zuntest::ReadText(s.files / "its.txt"), "text");

  plant("zundata.dat", victim, kNobody);
  zun::DataFile data(shared);
  EXPECT_THROW(data.OpenAndCheck(), zun::FileError);
  EXPECT_EQ(zuntest::ReadText(victim), "the victim's own");
  // Nor another user's data file there, whose tasks would write wherever that user wants.
  std::filesystem::remove(shared + "zundata.dat");
  zuntest::WriteText(shared + "zundata.dat", "");
  ASSERT_EQ(::chown((shared + "zundata.dat").c_str(), kNobody, kNobody), 0);
  EXPECT_THROW(data.OpenAndCheck(), zun::FileError);
}

}  // namespace
