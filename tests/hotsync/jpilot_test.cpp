// J-Pilot as the HotSync software: the user, the backup folder behind its link, the install list.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "convert/text_to_document.h"
#include "hotsync/jpilot_users.h"
#include "support/test_support.h"

namespace {

using namespace std::chrono_literals;

class JPilot : public ::testing::Test {
 protected:
  zuntest::TempDir home;
  std::string folder = home / ".jpilot/";

  void MakeJPilot(const std::string& settings = "") {
    std::filesystem::create_directories(folder + "Backup_2026");
    std::filesystem::create_directory_symlink("Backup_2026", folder + "backup");
    if (!settings.empty()) zuntest::WriteText(folder + "jpilot.rc", settings);
  }
  std::vector<std::string> InstallLines() {
    std::vector<std::string> lines;
    std::ifstream in(folder + "jpilot.install");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // Converts a text into the document `name` for the first of `users`; the status.
  std::string Install(zun::UserManager& users, const std::string& name) {
    zuntest::ConversionSetup s;
    s.users = &users;
    s.host.checks = zun::TargetChecks{{true, false}};
    zuntest::WriteText(s.files / "notes.txt", "for the handheld");
    zun::TaskRecord task = s.Task(zun::TaskAction::PcToPalm, s.files / "notes.txt", name);
    zun::ConversionEnv env = s.Env();
    zun::ConvertTextToDocument(task, env);
    return task.Status.Trimmed();
  }
};

// The user from J-Pilot's settings; settings that are no file or too large are ignored at once.
TEST_F(JPilot, TheUserComesFromJPilotsFolderAndSettings) {
  EXPECT_EQ(zun::JPilotUsers(folder, 10ms).UserCount(), 0) << "no J-Pilot: only \"Custom\"";
  MakeJPilot("fontname Sans 10\nuser Anna Smith\nuser_id 4242\n");
  zun::JPilotUsers users(folder, 10ms);
  EXPECT_EQ(zun::FillUserList(users), std::vector<std::string>{"Anna Smith"});
  EXPECT_EQ(users.UserIdAt(0), 4242);
  zuntest::WriteText(folder + "jpilot.rc", "user_id 0\r\nchar_set 12\r\n");
  zun::JPilotUsers plain(folder, 10ms);
  EXPECT_EQ(plain.UserIdAt(0), zun::JPilotUsers::kDefaultUserId);
  EXPECT_EQ(plain.Settings().charSet, 12);
  std::filesystem::remove(folder + "jpilot.rc");
  ASSERT_EQ(::mkfifo((folder + "jpilot.rc").c_str(), 0644), 0);
  EXPECT_EQ(zun::JPilotUsers(folder, 10ms).UserIdAt(0), zun::JPilotUsers::kDefaultUserId) << "a FIFO never blocks";
  std::filesystem::remove(folder + "jpilot.rc");
  zuntest::WriteText(folder + "jpilot.rc", "user_id 77\n");
  std::filesystem::resize_file(folder + "jpilot.rc", 1ull << 30);  // sparse: no disk used
  EXPECT_EQ(zun::JPilotUsers(folder, 10ms).UserIdAt(0), zun::JPilotUsers::kDefaultUserId);
}

TEST_F(JPilot, TheInstallListIsNeverWrittenThroughALinkOrAFifoNorLosesALine) {
  MakeJPilot();
  zuntest::WriteText(home / "elsewhere", "");
  std::filesystem::create_symlink(home / "elsewhere", folder + "jpilot.install");
  zun::JPilotUsers users(folder, 10ms);
  EXPECT_FALSE(users.QueueInstall(folder + "backup/a.pdb"));
  EXPECT_EQ(zuntest::ReadText(home / "elsewhere"), "");
  std::filesystem::remove(folder + "jpilot.install");
  ASSERT_EQ(::mkfifo((folder + "jpilot.install").c_str(), 0644), 0);
  EXPECT_FALSE(users.QueueInstall(folder + "backup/a.pdb"));

  // A sync that keeps rewriting the list fails the queue rather than lose the line.
  std::filesystem::remove(folder + "jpilot.install");
  zuntest::WriteText(folder + "jpilot.install", "/earlier/file.pdb\n");
  zuntest::WriteText(folder + "jpilot.install.tmp", "");
  EXPECT_FALSE(zun::JPilotUsers(folder, 100ms).QueueInstall(folder + "backup/a.pdb"));
  EXPECT_EQ(InstallLines(), std::vector<std::string>{"/earlier/file.pdb"});
  // A wait that ends when the list is free shows in zundoc's run test.
}

TEST_F(JPilot, DocumentsGoThroughTheBackupLinkAndAreQueuedOnce) {
  std::filesystem::create_directories(folder);
  zun::JPilotUsers users(folder, 10ms);
  EXPECT_EQ(zun::UserBackupDir(users, 0), folder + "backup/");
  EXPECT_EQ(Install(users, "notes.pdb"), "OK") << "J-Pilot makes backup/ at the first sync; until then ZUN2 does";
  EXPECT_TRUE(zuntest::Exists(folder + "backup/notes.pdb"));

  std::filesystem::remove_all(folder);
  MakeJPilot();
  ASSERT_EQ(Install(users, "notes.pdb"), "OK");
  EXPECT_TRUE(zuntest::Exists(folder + "Backup_2026/notes.pdb"));
  const std::string real = std::filesystem::canonical(folder + "Backup_2026").string() + "/notes.pdb";
  EXPECT_EQ(InstallLines(), std::vector<std::string>{real});
  EXPECT_EQ(Install(users, "notes.pdb"), "OK");
  EXPECT_EQ(InstallLines(), std::vector<std::string>{real}) << "no second line for the same file";
}

TEST_F(JPilot, EveryDocumentGetsALineOfItsOwnAndALineBreakInAPathIsRefused) {
  MakeJPilot();
  zuntest::WriteText(folder + "jpilot.install", "/by/hand.pdb");  // no line break at the end
  zun::JPilotUsers users(folder, 10ms);
  const std::string backup = std::filesystem::canonical(folder + "Backup_2026").string() + "/";
  for (const std::string name : {"a.pdb", "b.pdb", "two\nlines.pdb", "carriage\r.pdb"}) {
    const bool refused = name.find_first_of("\r\n") != std::string::npos;
    EXPECT_EQ(Install(users, name), refused ? "Error: Palm File path has a line break" : "OK") << name;
    EXPECT_EQ(zuntest::Exists(backup + name), !refused) << name;
  }
  EXPECT_EQ(InstallLines(), (std::vector<std::string>{"/by/hand.pdb", backup + "a.pdb", backup + "b.pdb"}));
  EXPECT_FALSE(users.QueueInstall(backup + "x\ny.pdb")) << "whoever asks";
  EXPECT_EQ(InstallLines().size(), 3u);
}

}  // namespace
