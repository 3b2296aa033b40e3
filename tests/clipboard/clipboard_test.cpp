// Clipboard conversion: empty clipboard, document path rules, numbering, record 2.
#include <gtest/gtest.h>

#include "clipboard/clipboard_conversion.h"
#include "convert/status_texts.h"
#include "record/data_file.h"
#include "support/test_support.h"

using zuntest::ConversionSetup;

namespace {

TEST(ClipboardPath, RulesForTheDocumentName) {
  zuntest::TempDir dir;
  const std::string home = "/home/u/";
  EXPECT_EQ(zun::ClipboardDocumentPath("", home), "/home/u/clipboard.pdb");
  EXPECT_EQ(zun::ClipboardDocumentPath("notes.pdb", home), "/home/u/notes.pdb");
  EXPECT_EQ(zun::ClipboardDocumentPath(dir.Path(), home), dir / "clipboard.pdb");
  EXPECT_EQ(zun::ClipboardDocumentPath(dir / "mine.pdb", home), dir / "mine.pdb");
  EXPECT_EQ(zun::ClipboardDocumentPath(std::string(5000, 'x') + "/a.pdb", home), "/home/u/clipboard.pdb")
      << "a path that cannot be looked at";
}

TEST(ClipboardPath, Numbering) {
  EXPECT_EQ(zun::NumberedPath("/d/notes.pdb", 7), "/d/notes007.pdb");
  EXPECT_EQ(zun::NumberedPath("/d/" + std::string(30, 'n') + ".pdb", 12), "/d/" + std::string(28, 'n') + "012.pdb");
  EXPECT_EQ(zun::NumberedPath("/my.docs/clip", 1), "/my.docs/clip001") << "a dot in a folder stays put";
  EXPECT_EQ(zun::NextCounter(999), 1);
}

class Clipboard : public ::testing::Test {
 protected:
  ConversionSetup s;
  zun::DataFile data{s.programDir.Path()};
  zuntest::ScopedEnv home{"HOME", s.files.Path()};

  void SetUp() override { data.OpenAndCheck(); }
  void Convert() {
    zun::ConversionEnv env = s.Env();
    env.data = &data;
    zun::ConvertClipboard(data, env, s.host);
  }
};

TEST_F(Clipboard, AnEmptyClipboardFailsTextBecomesTheDocumentInTheFallbackFolder) {
  Convert();
  EXPECT_EQ(s.host.trayFrames, std::vector<int32_t>{10});
  EXPECT_EQ(s.host.trayTip, "ZUN2\r\n- clipboard was empty");
  EXPECT_EQ(data.Read(2).Status.Trimmed(), "clipboard was empty");
  EXPECT_EQ(s.host.clipModeToggles, 0);
  EXPECT_FALSE(zuntest::Exists(s.files / "clipboard.pdb"));

  s.host.clipboardText = "from the clipboard";
  Convert();
  EXPECT_EQ(data.Read(2).Status.Trimmed(), "OK");
  EXPECT_TRUE(zuntest::Exists(s.files / "clipboard.pdb"));
  EXPECT_EQ(s.host.trayFrames.back(), 9);
  EXPECT_EQ(s.host.trayTip, "ZUN2\r\n- OK");
  EXPECT_EQ(s.host.clipModeToggles, 2) << "entered clip settings mode and left it again";
  EXPECT_EQ(s.host.clipControlsEnabled, (std::vector<bool>{false, true}));
  EXPECT_FALSE(zuntest::Exists(s.programDir / "zunclip.tmp"));
  EXPECT_FALSE(s.flags.sideChosen);
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
  EXPECT_EQ(s.host.clipStatus, "OK" + std::string(62, ' '));
}

}  // namespace
