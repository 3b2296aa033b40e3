// The clipboard: the document's name and numbering, an empty clipboard, record 2 as its task (its
// "UTF-8 Text" too); clip settings mode in the editor: captions, the saved row, the counter box.
#include <gtest/gtest.h>

#include <filesystem>

#include "clipboard/clipboard_conversion.h"
#include "convert/status_texts.h"
#include "editor/editor_fixture.h"
#include "record/data_file.h"

using zuntest::EditorTest;

namespace {

TEST(ClipboardPath, TheDocumentsNameAndItsNumbering) {
  zuntest::TempDir dir;
  const std::string home = "/home/u/";
  EXPECT_EQ(zun::ClipboardDocumentPath("", home), "/home/u/clipboard.pdb");
  EXPECT_EQ(zun::ClipboardDocumentPath("notes.pdb", home), "/home/u/notes.pdb");
  EXPECT_EQ(zun::ClipboardDocumentPath(dir.Path(), home), dir / "clipboard.pdb");
  EXPECT_EQ(zun::ClipboardDocumentPath(dir / "mine.pdb", home), dir / "mine.pdb");
  EXPECT_EQ(zun::ClipboardDocumentPath(std::string(5000, 'x') + "/a.pdb", home), "/home/u/clipboard.pdb")
      << "a path that cannot be looked at";
  EXPECT_EQ(zun::NumberedPath("/d/notes.pdb", 7), "/d/notes007.pdb");
  EXPECT_EQ(zun::NumberedPath("/d/" + std::string(30, 'n') + ".pdb", 12), "/d/" + std::string(28, 'n') + "012.pdb");
  EXPECT_EQ(zun::NumberedPath("/my.docs/clip", 1), "/my.docs/clip001") << "a dot in a folder stays put";
  EXPECT_EQ(zun::NextCounter(999), 1);
}

class Clipboard : public ::testing::Test {
 protected:
  zuntest::ConversionSetup s;
  zun::DataFile data{s.programDir.Path()};
  zuntest::ScopedEnv home{"HOME", s.files.Path()};

  void SetUp() override { data.OpenAndCheck(); }
  void Convert() {
    zun::ConversionEnv env = s.Env();
    env.data = &data;
    zun::ConvertClipboard(data, env, s.host);
  }
};

TEST_F(Clipboard, AnEmptyOrSilentClipboardFailsTextBecomesTheDocumentInTheFallbackFolder) {
  Convert();
  EXPECT_EQ(s.host.trayFrames, std::vector<int32_t>{10});  // the picture of a failure
  EXPECT_EQ(s.host.trayTip, "ZUN2\r\n- clipboard was empty");
  EXPECT_EQ(data.Read(2).Status.Trimmed(), "clipboard was empty");
  s.host.clipboardAnswered = false;  // its owner never handed the text over: not called empty
  Convert();
  EXPECT_EQ(s.host.trayTip, "ZUN2\r\n- clipboard did not answer");
  EXPECT_EQ(data.Read(2).Status.Trimmed(), "clipboard did not answer");
  EXPECT_EQ(s.host.clipModeToggles, 0);
  EXPECT_FALSE(zuntest::Exists(s.files / "clipboard.pdb"));

  s.host.clipboardAnswered = true;
  s.host.clipboardText = "Grüße €";
  Convert();
  EXPECT_EQ(data.Read(2).Status.Trimmed(), "OK");
  // A new data file has "UTF-8 Text" on for the clipboard: the text in the handheld's set.
  EXPECT_EQ(zuntest::DecodedText(s.files / "clipboard.pdb"), "Gr\xFC\xDF\x65 \x80");
  EXPECT_EQ(s.host.trayFrames.back(), 9);
  EXPECT_EQ(s.host.trayTip, "ZUN2\r\n- OK");
  EXPECT_EQ(s.host.clipModeToggles, 2) << "entered clip settings mode and left it again";
  EXPECT_EQ(s.host.clipControlsEnabled, (std::vector<bool>{false, true}));
  EXPECT_FALSE(zuntest::Exists(s.programDir / "zunclip.tmp"));
  EXPECT_FALSE(s.flags.sideChosen);
  zuntest::ChangeRecord(data, zun::kClipboardRecord,
                        [](zun::TaskRecord& r) { r.Options.SetAt(zun::kOptUtf8Text, '0'); });
  Convert();
  EXPECT_EQ(zuntest::DecodedText(s.files / "clipboard.pdb"), *s.host.clipboardText) << "the option off: bytes";
}

TEST_F(Clipboard, ReplacesAnExistingDocumentWithoutAsking) {
  s.host.clipboardText = "new";
  s.host.askOverwrite = true;
  zuntest::WriteText(s.files / "clipboard.pdb", "old");
  s.host.clipSettingsMode = true;  // started with "Convert Clip"
  Convert();
  EXPECT_EQ(data.Read(2).Status.Trimmed(), "OK");
  EXPECT_TRUE(s.host.overwritePrompts.empty());
  EXPECT_EQ(s.host.clipModeToggles, 0);

  // Never over the data folder's own files, though it asks nothing.
  zuntest::ChangeRecord(data, zun::kClipboardRecord,
                        [this](zun::TaskRecord& r) { r.PalmFile = s.programDir / "zundata.dat"; });
  Convert();
  EXPECT_EQ(data.Read(2).Status.Trimmed(), zun::status::kDataFolderFile);
  EXPECT_EQ(zuntest::ReadBytes(s.programDir / "zundata.dat").size(), 2u * zun::kTaskRecordSize);
}

std::string Captions(const zun::EditorState& s) {
  return std::string(s.ConvertCaption()) + "|" + s.ConvertTip() + "|" + s.ClipCaption() + "|" + s.ClipTip() + "|" +
         s.EditorCaption();
}

TEST_F(EditorTest, ClipSettingsEditRecordTwoAndRestoreTheWindow) {
  Start({"Anna", "Bert"}, 2);
  model->SelectRow(2);
  model->PcFileEdited("/keep/me.txt");
  model->ToggleClipSettings();
  EXPECT_EQ(Captions(S()), "Convert Clip|convert clipboard|Done|exit clipboard settings|Clipboard task settings");
  EXPECT_EQ(S().selected, 0);
  EXPECT_EQ(S().palmFileText, "clipboard.pdb");
  const zun::ControlStates& c = S().controls;  // the counter instead of the switches, the list locked
  EXPECT_TRUE(c.countUpVisible && !c.switchesVisible && !c.list && c.install && c.pcFileLocked && !c.palmFileLocked);

  model->TargetChanged(1, true);  // several users, whatever the clipboard task's direction
  EXPECT_EQ(data.Read(2).Targets.str().substr(0, 3), "110");
  model->OptionChanged(zun::kOptRaw, true);
  model->TabSpaceEdited("8");
  model->CountUpClicked(true);
  const zun::TaskRecord clip = data.Read(2);
  EXPECT_EQ(clip.Options.str().substr(0, 6), "11   1");
  EXPECT_EQ(clip.TabSpace, 8);
  EXPECT_TRUE(clip.CountUp());

  model->ToggleClipSettings();
  EXPECT_EQ(Captions(S()), "Convert|convert all tasks|Clip Setup|clipboard settings|Selected task");
  EXPECT_EQ(S().selected, 2);
  EXPECT_EQ(S().pcFileText, "/keep/me.txt");
  EXPECT_EQ(Task(2).PcFile.Trimmed(), "/keep/me.txt") << "the clipboard task's blank PC file changed no task";
  EXPECT_TRUE(S().controls.switchesVisible);
  EXPECT_FALSE(S().controls.countUpVisible);
}

// The counter box keeps three characters in range; a clipboard conversion counts on from it and
// keeps what was changed while the clipboard was read. A document named without a folder goes
// into the documents folder, where its information is looked for too.
TEST_F(EditorTest, TheCounterOfClipSettings) {
  for (const char* folder : {"Docs", ".config"}) std::filesystem::create_directories(files / folder);
  zuntest::WriteText(files / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
  zuntest::WriteText(files / "Docs/clipboard.pdb", "old");
  Start();
  zuntest::ChangeRecord(data, 2, [](zun::TaskRecord& r) { r.Counter = 1000; });
  model->ToggleClipSettings();
  EXPECT_NE(S().palmFileInfo.find(" Byte"), std::string::npos) << S().palmFileInfo;
  EXPECT_EQ(S().countUpText, "999");
  EXPECT_EQ(data.Read(2).Counter, 1000) << "showing stores nothing";
  for (const auto& [typed, shown, stored] : std::vector<std::tuple<std::string, std::string, int16_t>>{
           {"1234", "123", 123}, {"-5", "0", 0}, {"9e9", "999", 999}, {"42", "42", 42}}) {
    model->CountUpEdited(typed);
    EXPECT_EQ(std::pair(S().countUpText, data.Read(2).Counter), std::pair(shown, stored)) << typed;
  }
  model->CountUpClicked(true);
  model->clipboardSource = [this] {
    model->OptionChanged(zun::kOptCompress, false);  // while the owner takes its time
    return zun::ClipboardContent{"clip text", true};
  };
  zuntest::ConversionSetup s;
  s.host.checks = model->InstallChecks();
  zun::ConversionEnv env{s.codec, users, s.host, flags, dir.Path(), &data};
  zun::ConvertClipboard(data, env, *model);
  EXPECT_EQ(data.Read(2).Counter, 43);
  EXPECT_EQ(S().countUpText, "043");
  EXPECT_EQ(S().statusText.substr(0, 2), "OK");
  EXPECT_TRUE(zuntest::Exists(files / "Docs/clipboard042.pdb"));
  EXPECT_EQ(data.Read(2).Options.At(zun::kOptCompress), '0');
  model->TabSpaceEdited("8");  // a later edit must not undo the counter
  EXPECT_EQ(data.Read(2).Counter, 43);
  model->ToggleClipSettings();
  EXPECT_EQ(S().selected, 0) << "an empty list saved no row";
}

}  // namespace
