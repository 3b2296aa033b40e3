// Text to document: record cutting, DocInfo, checks in order, targets, prompts, temporary files.
#include <gtest/gtest.h>

#include <filesystem>

#include <cstdio>

#include "convert/document_to_text.h"
#include "convert/status_texts.h"
#include "convert/text_to_document.h"
#include "glue/byte_file.h"
#include "glue/dates.h"
#include "glue/file_system.h"
#include "pdb/pdb_file.h"
#include "support/test_support.h"
#include "record/data_file.h"

using zuntest::Bytes;
using zuntest::ConversionSetup;

namespace {

struct DocumentParts {
  std::string name;
  uint8_t version = 0;
  int32_t textRecords = 0;
  uint32_t textLength = 0;
  std::vector<Bytes> records;  // text records as stored
  std::vector<uint8_t> attributes;
};

DocumentParts ReadParts(const std::string& path) {
  DocumentParts parts;
  zun::PdbReader reader(zun::ByteFile::OpenForReading(path));
  std::string creator, type;
  int32_t count = 0;
  EXPECT_EQ(zun::ReadPdbHeader(reader, creator, type, count), 0);
  const Bytes file = zuntest::ReadBytes(path);
  parts.name = std::string(reinterpret_cast<const char*>(file.data()));
  for (int32_t i = 0; i < count; ++i) {
    uint8_t attributes = 0;
    Bytes record;
    EXPECT_EQ(zun::ReadPdbRecord(reader, i, attributes, record), 0);
    parts.attributes.push_back(attributes);
    if (i == 0) {
      EXPECT_EQ(zun::ReadDocInfo(record, count, parts.version, parts.textRecords), 0);
      parts.textLength = zun::BigEndianAt(std::span<const uint8_t>(record).subspan(4), 4);
    } else {
      parts.records.push_back(record);
    }
  }
  return parts;
}

class TextToDocument : public ::testing::Test {
 protected:
  ConversionSetup s;
  std::string text = s.files / "notes.txt";
  std::string document = s.files / "notes.pdb";

  zun::TaskRecord Convert(zun::TaskRecord task) {
    zun::ConversionEnv env = s.Env();
    zun::ConvertTextToDocument(task, env);
    return task;
  }
  zun::TaskRecord RawTask() {
    zun::TaskRecord task = s.Task(zun::TaskAction::PcToPalm, text, document);
    task.Options.SetAt(zun::kOptRaw, '1');
    return task;
  }
  void ExpectNoTemporaryFiles() {
    EXPECT_TRUE(std::filesystem::is_empty(s.programDir.Path())) << "no temporary file left";
  }
};

TEST_F(TextToDocument, CutsTheTextIntoRecordsOf4096Bytes) {
  for (size_t size : {size_t{1}, size_t{4095}, size_t{4096}, size_t{4097}, size_t{8192}}) {
    SCOPED_TRACE(size);
    const Bytes content = zuntest::RandomBytes(size, static_cast<uint32_t>(size));
    zuntest::WriteBytes(text, content);
    zun::TaskRecord task = RawTask();
    task.Options.SetAt(zun::kOptCompress, '0');
    task.Category = 9;
    EXPECT_EQ(Convert(task).Status.Trimmed(), "OK");
    const DocumentParts parts = ReadParts(document);
    EXPECT_EQ(parts.version, 1);
    EXPECT_EQ(parts.textLength, size);
    EXPECT_EQ(parts.attributes.front(), 0x40 + 9) << "the category goes with the DocInfo record";
    EXPECT_EQ(parts.attributes.back(), 0x40);
    ASSERT_EQ(parts.records.size(), (size + 4095) / 4096);
    EXPECT_EQ(parts.textRecords, static_cast<int32_t>(parts.records.size()));
    Bytes joined;
    for (const Bytes& r : parts.records) joined.insert(joined.end(), r.begin(), r.end());
    EXPECT_EQ(joined, content);
    EXPECT_EQ(parts.records.back().size(), size % 4096 == 0 ? 4096 : size % 4096);
    ExpectNoTemporaryFiles();
  }
}

TEST_F(TextToDocument, NamesTheDatabaseAfterTheDocumentFile) {
  zuntest::WriteText(text, "x");
  const std::string longName = std::string(40, 'L');
  Convert(s.Task(zun::TaskAction::PcToPalm, text, s.files / (longName + ".pdb")));
  EXPECT_EQ(ReadParts(s.files / (longName + ".pdb")).name, std::string(31, 'L'));
  Convert(s.Task(zun::TaskAction::PcToPalm, text, s.files / "my.notes.v2.pdb"));
  EXPECT_EQ(ReadParts(s.files / "my.notes.v2.pdb").name, "my.notes.v2");
}

TEST_F(TextToDocument, ChecksComeFirstAndTouchNothing) {
  zuntest::WriteText(text, "text");
  s.host.checks = zun::TargetChecks{{false}};
  EXPECT_EQ(Convert(RawTask()).Status.Trimmed(), zun::status::kNoSourceUser);
  s.host.checks = zun::TargetChecks{{true}};
  EXPECT_EQ(Convert(s.Task(zun::TaskAction::PcToPalm, s.files.Path(), document)).Status.Trimmed(), zun::status::kNoPcFile);
  EXPECT_EQ(Convert(s.Task(zun::TaskAction::PcToPalm, text, s.files.Path())).Status.Trimmed(), zun::status::kNoPalmFile);
  EXPECT_EQ(Convert(s.Task(zun::TaskAction::PcToPalm, s.files / "missing.txt", document)).Status.Trimmed(), zun::status::kPcFileMissing);
  EXPECT_FALSE(zuntest::Exists(document));
  EXPECT_TRUE(s.host.progressCaptions.empty()) << "nothing was shown";
}

TEST_F(TextToDocument, EmptyTextIsReportedWithAndWithoutFilter) {
  zuntest::WriteText(text, "");
  EXPECT_EQ(Convert(RawTask()).Status.Trimmed(), zun::status::kPcFileEmpty);
  const zun::TaskRecord filtered = Convert(s.Task(zun::TaskAction::PcToPalm, text, document));
  EXPECT_EQ(filtered.Status.Trimmed(), zun::status::kPcFileEmpty);
  EXPECT_EQ(filtered.PcDate, 0.0);
  EXPECT_FALSE(zuntest::Exists(document));
  ExpectNoTemporaryFiles();
}

TEST_F(TextToDocument, ATextWrittenToWhileReadKeepsTheOldDocument) {
  // An editor that saves in place during the conversion, with and without the filter.
  for (bool raw : {true, false}) {
    SCOPED_TRACE(raw);
    zuntest::WriteText(document, "old document");
    zuntest::WriteText(text, std::string(3 * 4096, 'a'));
    s.host.onLetEventsRun = [&] {
      std::FILE* file = std::fopen(text.c_str(), "ab");
      std::fputc('b', file);
      std::fclose(file);
    };
    zun::TaskRecord task = s.Task(zun::TaskAction::PcToPalm, text, document);
    task.Options.SetAt(zun::kOptRaw, raw ? '1' : '0');
    s.host.askOverwrite = false;
    EXPECT_EQ(Convert(task).Status.Trimmed(), zun::status::kCouldNotOpen);
    EXPECT_EQ(zuntest::ReadText(document), "old document");
  }
}

TEST_F(TextToDocument, ShowsProgressAndAnimatesTheTray) {
  zuntest::WriteText(text, std::string(20000, 'p') + "\r\n\t");
  ASSERT_EQ(Convert(s.Task(zun::TaskAction::PcToPalm, text, document)).Status.Trimmed(), "OK");
  EXPECT_EQ(ReadParts(document).textLength, 20000u + 1 + 4) << "the length of the filtered text";
  EXPECT_EQ(s.host.progressCaptions, (std::vector<std::string>{"Applying Filters", "Compression", "Progress"}));
  EXPECT_EQ(s.host.progressMaximum, 5);
  EXPECT_FALSE(s.host.progressShown);
  EXPECT_EQ(s.host.trayFrames.back(), 1);
  s.host.progressCaptions.clear();
  Convert(RawTask());
  EXPECT_EQ(s.host.progressCaptions, (std::vector<std::string>{"Compression", "Progress"}));
}

TEST_F(TextToDocument, AsksBeforeReplacingAnExistingDocument) {
  zuntest::WriteText(text, "new text");
  zuntest::WriteText(document, "old document");
  s.host.askOverwrite = true;

  s.host.overwriteAnswers = {{zun::PromptAnswer::Skip, false}};
  EXPECT_EQ(Convert(RawTask()).Status.Trimmed(), zun::status::kUserSkippedTask);
  EXPECT_EQ(zuntest::ReadText(document), "old document");

  s.host.overwriteAnswers = {{zun::PromptAnswer::Stop, false}};
  EXPECT_EQ(Convert(RawTask()).Status.Trimmed(), zun::status::kUserStopped);
  EXPECT_TRUE(s.flags.stopRequested);
  EXPECT_EQ(zuntest::ReadText(document), "old document");
  s.flags.stopRequested = false;

  s.host.overwriteAnswers = {{zun::PromptAnswer::Overwrite, false}};
  EXPECT_EQ(Convert(RawTask()).Status.Trimmed(), "OK");
  EXPECT_EQ(s.host.overwritePrompts, std::vector<std::string>(3, document));

  s.flags.sideChosen = true;  // the both-changed prompt already chose
  EXPECT_EQ(Convert(RawTask()).Status.Trimmed(), "OK");
  s.flags.sideChosen = false;
  s.host.askOverwrite = false;
  EXPECT_EQ(Convert(RawTask()).Status.Trimmed(), "OK");
  EXPECT_EQ(s.host.overwritePrompts.size(), 3u);
}

TEST_F(TextToDocument, DoNotAskAgainTurnsAskingOffAndStoresIt) {
  zun::DataFile data(s.programDir.Path());
  data.OpenAndCheck();
  zuntest::WriteText(text, "new");
  zuntest::WriteText(document, "old");
  s.host.askOverwrite = true;
  s.host.overwriteAnswers = {{zun::PromptAnswer::Skip, true}};
  zun::ConversionEnv env = s.Env();
  env.data = &data;
  zun::TaskRecord task = RawTask();
  zun::ConvertTextToDocument(task, env);
  EXPECT_EQ(task.Status.Trimmed(), zun::status::kUserSkippedTask) << "the choice still applies";
  EXPECT_FALSE(s.host.askOverwrite);
  EXPECT_EQ(data.Read(1).Flag2, 0);
  zun::ConvertTextToDocument(task, env);
  EXPECT_EQ(task.Status.Trimmed(), "OK") << "replaced without asking";
  EXPECT_EQ(s.host.overwritePrompts.size(), 1u);
}

class TextToUsers : public TextToDocument {
 protected:
  zuntest::FakeUsers users;
  void SetUp() override {
    users.desktop = s.files.Path();
    users.AddUser(11, "Anna");
    users.AddUser(22, "Bert");
    s.users = &users;
    zuntest::WriteText(text, "for the handheld");
  }
};

TEST_F(TextToUsers, SkippingOneOfTwoUsersDistributesToTheOther) {
  zuntest::WriteText(users.BackupDir(0) + "notes.pdb", "Anna's old copy");
  s.host.askOverwrite = true;
  s.host.checks = zun::TargetChecks{{true, true, false}};
  s.host.overwriteAnswers = {{zun::PromptAnswer::Skip, false}};
  const zun::TaskRecord task = Convert(RawTask());
  EXPECT_EQ(task.Status.Trimmed(), "OK");
  EXPECT_EQ(zuntest::ReadText(users.BackupDir(0) + "notes.pdb"), "Anna's old copy");
  EXPECT_TRUE(zuntest::Exists(users.BackupDir(1) + "notes.pdb"));
  ASSERT_EQ(users.queued.size(), 1u);
  EXPECT_EQ(users.queued[0], std::make_pair(22, users.BackupDir(1) + "notes.pdb"));
}

TEST_F(TextToUsers, EveryUserGetsACopyCustomIsNotQueuedTheFirstIsStamped) {
  s.host.checks = zun::TargetChecks{{true, true, true}};
  zun::TaskRecord task = RawTask();
  task.PalmFile = document;
  task = Convert(task);
  ASSERT_EQ(task.Status.Trimmed(), "OK");
  EXPECT_EQ(users.queued, (std::vector<std::pair<int32_t, std::string>>{{11, users.BackupDir(0) + "notes.pdb"},
                                                                      {22, users.BackupDir(1) + "notes.pdb"}}));
  EXPECT_EQ(zuntest::ReadBytes(document), zuntest::ReadBytes(users.BackupDir(1) + "notes.pdb"));
  // Each copy dated apart from the others as it is queued: the stamp must be the first one's.
  std::time_t when = 1700000000;
  users.onQueue = [&](const std::string& path) { zuntest::SetModificationTime(path, when += 1000); };
  task = Convert(task);
  EXPECT_EQ(task.PalmDate, zun::ToAutomationDate(1700001000));
}

TEST_F(TextToUsers, SkippingEveryTargetSkipsDistribution) {
  zuntest::WriteText(users.BackupDir(0) + "notes.pdb", "a");
  zuntest::WriteText(users.BackupDir(1) + "notes.pdb", "b");
  s.host.askOverwrite = true;
  s.host.checks = zun::TargetChecks{{true, true, false}};
  EXPECT_EQ(Convert(RawTask()).Status.Trimmed(), zun::status::kUserSkippedDistribution);
  EXPECT_TRUE(users.queued.empty());
}

TEST_F(TextToUsers, AFailedQueueIsAnErrorNotASuccess) {
  users.queueFails = true;
  s.host.checks = zun::TargetChecks{{true, false, false}};
  const zun::TaskRecord task = Convert(RawTask());
  EXPECT_EQ(task.Status.Trimmed(), zun::status::kCouldNotOpen);
  EXPECT_EQ(task.PalmDate, 0.0);
  ExpectNoTemporaryFiles();
}

}  // namespace
