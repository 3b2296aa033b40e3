// Document to text: the records DocInfo announces, stamps, each reader failure with its status and
// the old text kept; the status texts word for word.
#include <gtest/gtest.h>

#include <filesystem>

#include "convert/conversion_fixture.h"
#include "glue/dates.h"
#include "glue/file_system.h"

using zun::TaskAction;
using zuntest::AsBytes;
using zuntest::Bytes;

namespace {

class DocumentToText : public zuntest::ConversionTest {};

TEST_F(DocumentToText, WritesTheAnnouncedRecordsUnchangedAndStampsBothFiles) {
  zuntest::WriteBytes(
      document, zuntest::MakeDatabase({zun::MakeDocInfo(9, 2, false), AsBytes("line\r\n"), AsBytes("end"), {'x'}}));
  zuntest::SetModificationTime(document, 1700000000);
  const zun::TaskRecord task = Run(Task(TaskAction::PalmToPc));
  EXPECT_EQ(task.Status.Trimmed(), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "line\r\nend");
  EXPECT_EQ(task.PalmDate, zun::ToAutomationDate(1700000000));
  EXPECT_EQ(task.PcDate, zun::ToAutomationDate(*zun::ModificationTime(text)));
  EXPECT_EQ(s.host.progressMaximum, 2);
  EXPECT_FALSE(s.host.progressShown);
  EXPECT_EQ(s.host.trayFrames, (std::vector<int32_t>{5, 1, 1})) << "record 1 of 2, 2 of 2, the end";
}

TEST_F(DocumentToText, ReaderFailuresKeepTheOldTextAndStamps) {
  const Bytes good = zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, false), {'x'}});
  const auto patched = [](Bytes file, size_t at, uint8_t value) {
    file[at] = value;
    return file;
  };
  const std::pair<Bytes, const char*> cases[] = {
      {Bytes(good.begin(), good.begin() + 81), zun::status::kBadHeader},
      {zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, false), {'x'}}, "TEXT"), zun::status::kUnsupportedType},
      {zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, false)}), zun::status::kWrongFormat},
      {patched(good, 78 + 16 + 1, 3), zun::status::kUnknownDocInfo},  // version 3
      {patched(good, 78 + 8 + 1, 0x7F), zun::status::kNoDocInfo},     // record 1 far past the end
      // Record 2 starts before record 1.
      {patched(zuntest::MakeDatabase({zun::MakeDocInfo(2, 2, false), {'a'}, {'b'}}), 78 + 16 + 3, 0),
       zun::status::kCorrupt},
      {zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, true), {'a', 0x80}}), zun::status::kCouldNotOpen},
  };
  for (const auto& [file, status] : cases) {
    SCOPED_TRACE(status);
    zuntest::WriteText(text, "precious");
    zuntest::WriteBytes(document, file);
    const zun::TaskRecord task = Run(Task(TaskAction::PalmToPc));
    EXPECT_EQ(task.Status.Trimmed(), status);
    EXPECT_EQ(zuntest::ReadText(text), "precious");
    EXPECT_EQ(task.PcDate, 0.0);
    EXPECT_EQ(task.PalmDate, 0.0);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(s.files.Path()), {}), 2) << "no temporary file left";
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
