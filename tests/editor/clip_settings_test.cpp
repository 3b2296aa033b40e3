// Clip settings mode: captions, the saved row, record 2 as the edited task, the counter box.
#include "clipboard/clipboard_conversion.h"
#include "editor/editor_fixture.h"

using zuntest::EditorTest;

namespace {

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
  EXPECT_EQ(S().countUpText, "000");
  EXPECT_TRUE(S().controls.countUpVisible);
  EXPECT_FALSE(S().controls.switchesVisible);
  EXPECT_FALSE(S().controls.list);
  EXPECT_TRUE(S().controls.install);
  EXPECT_TRUE(S().controls.pcFileLocked);
  EXPECT_FALSE(S().controls.palmFileLocked);

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

// The counter box keeps three characters in range; a clipboard conversion counts on from it.
TEST_F(EditorTest, TheCounterOfClipSettings) {
  Start();
  model->ToggleClipSettings();
  for (const auto& [typed, shown, stored] : std::vector<std::tuple<std::string, std::string, int16_t>>{
           {"1234", "123", 123}, {"-5", "0", 0}, {"9e9", "999", 999}, {"42", "42", 42}}) {
    model->CountUpEdited(typed);
    EXPECT_EQ(S().countUpText, shown) << typed;
    EXPECT_EQ(data.Read(2).Counter, stored) << typed;
  }
  model->CountUpClicked(true);
  model->clipboardSource = [] { return std::optional<std::string>("clip text"); };
  zuntest::ConversionSetup s;
  s.host.checks = model->InstallChecks();
  zun::ConversionEnv env{s.codec, users, s.host, flags, dir.Path(), &data};
  zun::ConvertClipboard(data, env, *model);
  EXPECT_EQ(data.Read(2).Counter, 43);
  EXPECT_EQ(S().countUpText, "043");
  EXPECT_EQ(S().statusText.substr(0, 2), "OK");
  EXPECT_TRUE(zuntest::Exists(files / "clipboard042.pdb"));
  model->OptionChanged(zun::kOptCompress, false);  // a later edit must not undo the counter
  EXPECT_EQ(data.Read(2).Counter, 43);
  model->ToggleClipSettings();
  EXPECT_EQ(S().selected, 0) << "an empty list saved no row";
}

}  // namespace
