// The desktop's browser: which entry the association files name, and its Exec line as a command.
#include "glue/browser.h"
#include "glue/xdg_dirs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/test_support.h"

namespace {

using Command = std::optional<std::vector<std::string>>;
using Words = std::vector<std::string>;

TEST(Browser, ExecLinesBecomeCommandsAsTheDesktopEntryRulesSay) {
  const std::string page = "file:///opt/zun2/help/help.htm#updates";
  struct Case {
    std::string exec;
    Command command;
  };
  const std::vector<Case> cases = {
      {"firefox %u", Words{"firefox", page}},
      {"env MOZ_X=1 /opt/ff/firefox --new-window %U", Words{"env", "MOZ_X=1", "/opt/ff/firefox", "--new-window", page}},
      {"flatpak run org.mozilla.firefox", Words{"flatpak", "run", "org.mozilla.firefox", page}},  // no code: appended
      {"\"/opt/My Browser/run\"  %f", Words{"/opt/My Browser/run", "/opt/zun2/help/help.htm"}},   // %f: a local path
      {"web %i --name=%c %k --zoom=100%%",
       Words{"web", "--icon", "globe", "--name=Web", "/apps/web.desktop", "--zoom=100%", page}},
      {"web \"say \\\"hi\\\" \\\\ \\$HOME\" %u", Words{"web", "say \"hi\" \\ $HOME", page}},
      {"web %d %u", Words{"web", page}},  // deprecated codes are dropped
      {"web %z", std::nullopt},
      {"web \"open", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(zun::ExecCommand(zun::DesktopEntry{"/apps/web.desktop", "Web", "globe", c.exec, false}, page), c.command)
        << c.exec;
  }
  EXPECT_EQ(zun::ExecCommand(zun::DesktopEntry{"/apps/w3m.desktop", "w3m", "", "w3m %u", true}, page),
            (Words{"x-terminal-emulator", "-e", "w3m", page}))
      << "Terminal=true";
}

TEST(Browser, TheDefaultComesFromTheAssociationFilesThenBrowserThenNothing) {
  zuntest::TempDir dir;
  zuntest::ScopedEnv config{"XDG_CONFIG_HOME", dir / "config"};
  zuntest::ScopedEnv configDirs{"XDG_CONFIG_DIRS", dir / "none"};
  zuntest::ScopedEnv data{"XDG_DATA_HOME", dir / "data"};
  zuntest::ScopedEnv dataDirs{"XDG_DATA_DIRS", dir / "system"};
  zuntest::ScopedEnv desktop{"XDG_CURRENT_DESKTOP", "Openbox"};
  zuntest::ScopedEnv browser{"BROWSER", "nosuch %s:fallback --open %s"};
  zuntest::ScopedEnv path{"PATH", dir / "bin"};
  for (const char* folder : {"config", "data/applications", "system/applications/vendor", "bin"})
    std::filesystem::create_directories(dir / folder);
  zuntest::WriteText(dir / "bin/fallback", "#!/bin/sh\n");
  std::filesystem::permissions(dir / "bin/fallback", std::filesystem::perms::owner_all);
  auto entry = [&dir](const std::string& file, const std::string& exec, const std::string& extra = "") {
    zuntest::WriteText(dir / file, "[Desktop Entry]\nType=Application\nName=X\n" + extra + "Exec=" + exec + "\n");
  };
  entry("system/applications/vendor/wrapped.desktop", "env A=1 wrapped %u");  // the ID vendor-wrapped.desktop
  entry("system/applications/hidden.desktop", "hidden %u", "Hidden=true\n");  // never chosen
  entry("data/applications/chosen.desktop", "chosen --url %u");
  ASSERT_EQ(::mkfifo((dir / "config/mimeapps.list").c_str(), 0644), 0);  // read without waiting on it

  const std::string page = "file:///help.htm";
  EXPECT_EQ(zun::BrowserCommand(page), (Words{"fallback", "--open", page})) << "no association: $BROWSER";
  zuntest::WriteText(dir / "system/applications/mimeinfo.cache",
                     "[MIME Cache]\ntext/plain=other.desktop;\ntext/html=hidden.desktop;vendor-wrapped.desktop;\n");
  EXPECT_EQ(zun::BrowserCommand(page), (Words{"env", "A=1", "wrapped", page})) << "what the cache knows, in order";
  zuntest::WriteText(dir / "config/openbox-mimeapps.list",
                     "[Default Applications]\ntext/html=gone.desktop;chosen.desktop\n");
  EXPECT_EQ(zun::BrowserCommand(page), (Words{"chosen", "--url", page})) << "the desktop's own default first";

  std::filesystem::remove_all(dir / "system");
  std::filesystem::remove_all(dir / "config");
  zuntest::ScopedEnv noBrowser{"BROWSER", ""};
  zuntest::ScopedEnv noPath{"PATH", dir / "none"};
  EXPECT_EQ(zun::BrowserCommand(page), std::nullopt);
}

// Relative values are ignored: nothing depends on the current folder.
TEST(Browser, BaseFoldersIgnoreRelativeValues) {
  zuntest::TempDir dir;
  zuntest::ScopedEnv home{"HOME", dir / "home"};
  zuntest::ScopedEnv data{"XDG_DATA_HOME", "data"};
  zuntest::ScopedEnv config{"XDG_CONFIG_HOME", ""};
  zuntest::ScopedEnv dataDirs{"XDG_DATA_DIRS", "share:" + dir / "a" + "::" + dir / "b"};
  zuntest::ScopedEnv configDirs{"XDG_CONFIG_DIRS", "etc:" + dir / "xdg"};
  zuntest::ScopedEnv runtime{"XDG_RUNTIME_DIR", "run"};
  EXPECT_EQ(zun::XdgDataHome(), dir / "home/.local/share");
  EXPECT_EQ(zun::XdgConfigHome(), dir / "home/.config");
  EXPECT_EQ(zun::XdgDataDirs(), (Words{dir / "a", dir / "b"}));
  EXPECT_EQ(zun::XdgConfigDirs(), (Words{dir / "xdg"}));
  EXPECT_EQ(zun::XdgRuntimeDir(), "");
}

TEST(Browser, TheProbePageIsNeverWrittenThroughAPlantedLink) {
  zuntest::TempDir dir;
  zuntest::ScopedEnv tmp{"TMPDIR", dir.Path()};
  zuntest::WriteText(dir / "victim", "keep");
  std::filesystem::create_symlink(dir / "victim", dir / "temphtm.HTM");
  const std::string page = zun::CreateProbePage();
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(zuntest::ReadText(dir / "victim"), "keep");
  EXPECT_FALSE(std::filesystem::is_symlink(page));
  std::filesystem::remove(page);
}

}  // namespace
