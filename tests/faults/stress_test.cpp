// Kills, round after round. Two "zundoc run" on one folder at once, one of them killed at a random
// moment: the data file keeps whole records, every document is whole (one of the texts its task
// ever had), and every task marked "OK" for its current text has a document that reads back as
// that text. A decode killed while it overwrites a hard-linked text in place: the next look at the
// text finds it wholly old or wholly new, and the temporary files of dead processes go while a
// live process's one stays, with unnamed temporary files and without them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "glue/dates.h"
#include "glue/file_system.h"
#include "glue/replacement_file.h"
#include "record/data_file.h"
#include "support/test_support.h"

namespace {

constexpr int kTasks = 12;
constexpr int kRounds = 20;
constexpr std::time_t kFirstTime = 1700000000;

// Starts zundoc with these arguments (its output dropped), with or without unnamed temporary files.
pid_t StartZundoc(std::vector<std::string> args, const std::string& home, bool unnamedFiles = true) {
  args.insert(args.begin(), ZUNDOC_PATH);
  // No J-Pilot: "Custom" is the only target; the Trash is in `home` too.
  std::vector<std::string> env = {"HOME=" + home, "JPILOT_HOME=" + home, "TMPDIR=" + home, "XDG_DATA_HOME=" + home};
  if (!unnamedFiles) env.emplace_back("ZUN2_NO_TMPFILE=1");
  return zuntest::Spawn(args, env, home + "output");
}

int ExitOf(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Stress, TwoRunsAndKillsNeverCorruptWhatTheyKeep) {
  zuntest::TempDir dir;
  zuntest::TempDir home;
  std::filesystem::create_directory(dir / "docs");
  zuntest::ChangeData(dir.Path(), [&](zun::DataFile& data) {
    zuntest::ChangeRecord(data, zun::kSettingsRecord,
                          [](zun::TaskRecord& settings) { settings.SetAskOverwrite(false); });
    for (int i = 0; i < kTasks; ++i) {
      const std::string name = "t" + std::to_string(i);
      zuntest::AddTask(data, zun::TaskAction::PcToPalm, dir / (name + ".txt"), dir / ("docs/" + name + ".pdb"));
    }
  });
  std::mt19937 random(42);
  int verified = 0;
  std::vector<std::set<size_t>> textsSeen(kTasks);  // hashes of every text a task had
  const std::hash<std::string> hash;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    for (int i = 0; i < kTasks; ++i) {
      if (round > 0 && (i + round) % 3 != 0) continue;  // some texts change each round
      const std::string path = dir / ("t" + std::to_string(i) + ".txt");
      const std::string content =
          zuntest::ProseText(20000 + 9000 * static_cast<size_t>(i), static_cast<uint32_t>(round * 100 + i));
      zuntest::WriteText(path, content);
      textsSeen[static_cast<size_t>(i)].insert(hash(content));
      zuntest::SetModificationTime(path, kFirstTime + std::time_t{round} * 60);
    }
    const pid_t first = StartZundoc({"run", "--wait", "--dir", dir.Path()}, home.Path());
    const pid_t second = StartZundoc({"run", "--wait", "--dir", dir.Path()}, home.Path());
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 120));
    ::kill(round % 2 ? first : second, SIGKILL);
    for (const pid_t child : {first, second}) ::waitpid(child, nullptr, 0);

    ASSERT_EQ(std::filesystem::file_size(dir / "zundata.dat"), (kTasks + 2u) * zun::kTaskRecordSize) << "whole records";
    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    for (int i = 0; i < kTasks; ++i) {
      const zun::TaskRecord task = data.Read(zun::TaskRecordNumber(i + 1));
      const std::string pc = task.PcFile.Trimmed(), palm = task.PalmFile.Trimmed();
      ASSERT_EQ(pc, dir / ("t" + std::to_string(i) + ".txt"));
      EXPECT_TRUE(!zuntest::Exists(palm) || textsSeen[static_cast<size_t>(i)].count(hash(zuntest::DecodedText(palm))))
          << "task " << i << ": a document that is no whole text";
      const auto time = zun::ModificationTime(pc);
      if (task.Status.Trimmed() != "OK" || !time || task.PcDate != zun::ToAutomationDate(*time)) continue;
      EXPECT_EQ(zuntest::DecodedText(palm), zuntest::ReadText(pc)) << "task " << i;
      ++verified;
    }
  }
  EXPECT_GT(verified, kTasks * kRounds / 2) << "most rounds end with their tasks done";
}

// The first bytes of a file; empty when it cannot be read.
std::string Head(const std::string& path) {
  char head[64];
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const ssize_t got = fd >= 0 ? ::pread(fd, head, sizeof head, 0) : -1;
  if (fd >= 0) ::close(fd);
  return got > 0 ? std::string(head, static_cast<size_t>(got)) : std::string();
}

// Kills the child the moment the file's first bytes differ from `old`'s; false when it ended first.
bool KillWhenChanged(pid_t child, const std::string& path, const std::string& old) {
  const std::string oldHead = old.substr(0, 64);
  for (;;) {
    if (Head(path) != oldHead) return ::kill(child, SIGKILL) == 0;
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child) {
      return false;
    }
  }
}

// ZUN2's temporary files and kept copies in a folder (or those whose names start so).
int TemporaryFiles(const std::string& folder, const std::string& start = ".zun2-") {
  return static_cast<int>(std::ranges::count_if(std::filesystem::directory_iterator(folder), [&](const auto& entry) {
    return entry.path().filename().string().starts_with(start);
  }));
}

// A text with a second name (a hard link), and a document of a longer text to decode over it.
class KilledOverwrites : public ::testing::Test {
 protected:
  const zuntest::ScopedEnv namedFiles{"ZUN2_NO_TMPFILE", "1"};  // this process's own replacement files too
  zuntest::TempDir dir, home;
  const std::string oldText = zuntest::ProseText(3 << 20, 1);
  const std::string newText = "new " + zuntest::ProseText(4 << 20, 2);
  const std::string pcFile = dir / "text.txt", document = dir / "new.pdb", look = dir / "look.pdb";

  void SetUp() override {
    zuntest::WriteText(pcFile, newText);
    ASSERT_EQ(ExitOf(StartZundoc({"encode", "--raw", "--no-compress", pcFile, document}, home.Path())), 0);
    std::filesystem::create_hard_link(pcFile, dir / "second.txt");
  }
  // Writes the old text in place (the hard link stays) and starts a decode over it.
  pid_t StartDecode(bool unnamedFiles = true) {
    zuntest::WriteText(pcFile, oldText);
    return StartZundoc({"decode", document, pcFile}, home.Path(), unnamedFiles);
  }
};

TEST_F(KilledOverwrites, ComeBackWholeAndStaleTemporaryFilesGo) {
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(ExitOf(StartZundoc({"decode", document, pcFile}, home.Path())), 0);
  const auto decodeTime = std::chrono::steady_clock::now() - started;
  std::mt19937 random(7);
  int torn = 0, stale = 0;
  // Each way of killing four times at least; on a busy machine more, until some kills tore the text.
  for (int round = 0; round < 16 || (torn < 2 && round < 64); ++round) {
    SCOPED_TRACE(round);
    const bool unnamedFiles = round % 4 < 2;
    const pid_t child = StartDecode(unnamedFiles);
    if (round % 2 == 0) {
      KillWhenChanged(child, pcFile, oldText);
    } else {
      std::this_thread::sleep_for(decodeTime * (random() % 100) / 80);
      ::kill(child, SIGKILL);
    }
    ExitOf(child);
    const std::string killed = zuntest::ReadText(pcFile);
    torn += killed != oldText && killed != newText ? 1 : 0;
    stale += unnamedFiles ? 0 : TemporaryFiles(dir.Path(), ".zun2-tmp-");

    // The next look: an encode that reads the text and writes beside it.
    ASSERT_EQ(ExitOf(StartZundoc({"encode", "--raw", "--no-compress", pcFile, look}, home.Path(), unnamedFiles)), 0);
    const std::string now = zuntest::ReadText(pcFile);
    EXPECT_TRUE(now == oldText || now == newText) << "a mix of " << now.size() << " bytes";
    EXPECT_EQ(zuntest::ReadText(dir / "second.txt"), now);
    EXPECT_EQ(zuntest::DecodedText(look), now);
    EXPECT_EQ(TemporaryFiles(dir.Path()), 0);
  }
  EXPECT_GT(torn, 0) << "no kill came during an overwrite";
  EXPECT_GT(stale, 0) << "no kill left a temporary file";

  zun::ReplacementFile live = zun::ReplacementFile::Begin(dir / "live.txt");
  live.Content().Append(zuntest::AsBytes("live"));
  EXPECT_EQ(TemporaryFiles(dir.Path()), 1);
  ASSERT_EQ(ExitOf(StartZundoc({"encode", pcFile, look}, home.Path(), false)), 0);
  EXPECT_EQ(TemporaryFiles(dir.Path()), 1) << "a live process's file stays";
  live.Commit();
  EXPECT_EQ(zuntest::ReadText(dir / "live.txt"), "live");
}

// A text mended by hand after a kill stays as mended: the copy is not put back over it, and it
// stays in the way of the next overwrite until someone looks.
TEST_F(KilledOverwrites, ATextMendedByHandAfterAKillStaysAsMended) {
  for (int attempt = 0; attempt < 8 && TemporaryFiles(dir.Path(), ".zun2-keep-") == 0; ++attempt) {
    const pid_t child = StartDecode();
    KillWhenChanged(child, pcFile, oldText);
    ExitOf(child);
  }
  ASSERT_EQ(TemporaryFiles(dir.Path(), ".zun2-keep-"), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // well after the overwrite stopped
  zuntest::WriteText(pcFile, "mended by hand");
  ASSERT_EQ(ExitOf(StartZundoc({"encode", pcFile, look}, home.Path())), 0);
  EXPECT_NE(ExitOf(StartZundoc({"decode", document, pcFile}, home.Path())), 0);
  EXPECT_TRUE(zuntest::ReadText(dir / "second.txt") == "mended by hand");
  EXPECT_TRUE(zuntest::DecodedText(look) == "mended by hand");
}

}  // namespace
