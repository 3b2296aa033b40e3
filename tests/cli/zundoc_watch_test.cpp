// zundoc watch as a program in the background: real files saved as editors and HotSync save them,
// the task list changed meanwhile, signals, a data folder held by a window, desktop notices.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

#include "record/data_file.h"
#include "support/test_support.h"

namespace {

using namespace std::chrono_literals;

// Outcomes are waited for this long at most: the machine may be slow and busy.
constexpr auto kPatience = 60s;

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Waits until `done` holds; whether it did.
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds patience = kPatience) {
  const auto end = std::chrono::steady_clock::now() + patience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// How a process ended (waitpid's status); -1 when it did not end in time.
int Ended(pid_t pid, std::chrono::milliseconds patience = kPatience) {
  int status = -1;
  Eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, patience);
  return status;
}

// A private session bus with a monitor that writes down every call to the notification service
// (which nobody offers: zundoc must get on without one).
struct NotificationBus {
  zuntest::TempDir dir;
  std::string address = "unix:path=" + dir / "bus";
  pid_t daemon = zuntest::Spawn({"dbus-daemon", "--session", "--nofork", "--address=" + address}, {}, dir / "daemon");
  pid_t monitor = -1;

  NotificationBus() {
    if (daemon < 0 || !Eventually([&] { return zuntest::Exists(dir / "bus"); }, 10s)) return;
    monitor = zuntest::Spawn({"dbus-monitor", "--address", address, "interface='org.freedesktop.Notifications'"}, {},
                             dir / "log");
    Eventually([&] { return Holds(Log(), "NameAcquired"); }, 10s);
  }
  ~NotificationBus() {
    for (const pid_t pid : {monitor, daemon}) {
      if (pid > 0 && ::kill(pid, SIGTERM) == 0) Ended(pid);
    }
  }
  bool Ready() const { return monitor > 0 && Holds(Log(), "NameAcquired"); }
  std::string Log() const { return zuntest::Exists(dir / "log") ? zuntest::ReadText(dir / "log") : ""; }
};

// A data folder, its files, and zundoc watch on it in the background.
struct Watching {
  zuntest::TempDir dir;
  std::string data = dir / "data/";
  std::string busAddress = "unix:path=" + dir / "nobus";
  pid_t pid = -1;

  Watching() {
    for (const char* folder : {"data", "files", "home", "tmp"}) std::filesystem::create_directory(dir / folder);
  }
  ~Watching() {
    if (pid > 0 && ::kill(pid, SIGKILL) == 0) Ended(pid);
  }
  std::string File(const std::string& name) const { return dir / ("files/" + name); }
  void Start(const std::string& quiet = "0.3") {
    pid = zuntest::Spawn(
        {ZUNDOC_PATH, "watch", "--dir", data, "--quiet", quiet},
        {"HOME=" + dir / "home", "XDG_DATA_HOME=" + dir / "home/.local/share", "JPILOT_HOME=" + dir / "home",
         "TMPDIR=" + dir / "tmp", "DBUS_SESSION_BUS_ADDRESS=" + busAddress},
        dir / "out");
    ASSERT_GT(pid, 0);
  }
  std::string Out() const { return zuntest::ReadText(dir / "out"); }
  size_t Lines() const {
    const std::string out = Out();
    return static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
  }
  bool AwaitLines(size_t count) const {
    return Eventually([&] { return Lines() >= count; });
  }
  // Ends it with `signal`; the signal it ended by, 0 when it exited.
  int Stop(int signal) {
    ::kill(pid, signal);
    const int status = Ended(pid);
    pid = -1;
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
};

TEST(ZundocWatch, ConvertsSavesBurstsAndTasksAddedMeanwhileMergesAndLeavesCollisions) {
  NotificationBus bus;
  Watching w;
  w.busAddress = bus.address;
  const std::string pcFile = w.File("notes.txt"), document = w.File("notes.pdb");
  zuntest::WriteText(pcFile, "first\n");
  zuntest::AddTask(w.data, zun::TaskAction::BothWays, pcFile, document);
  w.Start("1");
  ASSERT_TRUE(w.AwaitLines(1)) << "what changed while nobody watched runs at the start";
  EXPECT_EQ(w.Out(), "1\t" + pcFile + "\t" + document + "\t OK\tOK\n");

  // An editor's save: the new text written beside the old one and renamed over it.
  zuntest::WriteText(w.File(".notes.txt.swp"), "saved\n");
  std::filesystem::rename(w.File(".notes.txt.swp"), pcFile);
  ASSERT_TRUE(w.AwaitLines(2));
  EXPECT_EQ(zuntest::DecodedText(document), "saved\n");

  // A burst of writes, closer together than the quiet time: converted once, when it is over.
  std::string burst = "saved\n";
  for (int i = 0; i < 20; ++i) {
    zuntest::WriteText(pcFile, burst += "line " + std::to_string(i) + "\n");
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_TRUE(w.AwaitLines(3));
  EXPECT_EQ(zuntest::DecodedText(document), burst);

  // A task added while it watches (it holds the data folder only while it runs).
  const std::string added = w.File("added.txt");
  zuntest::WriteText(added, "added\n");
  zuntest::AddTask(w.data, zun::TaskAction::PcToPalm, added, w.File("added.pdb"));
  ASSERT_TRUE(w.AwaitLines(4));
  EXPECT_TRUE(Holds(w.Out(), "2\t" + added + "\t" + w.File("added.pdb") + "\t OK\tOK\n"));

  // Both sides changed, on different lines: merged. Then on the same line: left as they are, for
  // the user to choose, who is told.
  const auto edited = [](std::string text, const std::string& line, const std::string& by) {
    return text.replace(text.find(line), line.size(), by);
  };
  zuntest::WriteDocument(w.File("new.pdb"), edited(burst, "line 19", "line 19 on the handheld"));
  zuntest::WriteText(pcFile, edited(burst, "line 0", "line 0 on the PC"));
  std::filesystem::rename(w.File("new.pdb"), document);
  ASSERT_TRUE(w.AwaitLines(5));
  const std::string merged = edited(edited(burst, "line 0", "line 0 on the PC"), "line 19", "line 19 on the handheld");
  EXPECT_TRUE(w.Out().ends_with("\t OK\tOK\n")) << w.Out();
  EXPECT_EQ(zuntest::ReadText(pcFile), merged);
  EXPECT_EQ(zuntest::DecodedText(document), merged);
  zuntest::WriteText(pcFile, "PC side\n");
  std::filesystem::copy_file(w.File("added.pdb"), document, std::filesystem::copy_options::overwrite_existing);
  ASSERT_TRUE(w.AwaitLines(6));
  EXPECT_TRUE(w.Out().ends_with("\t -\tBoth files changed: choose which to keep\n")) << w.Out();
  EXPECT_EQ(zuntest::ReadText(pcFile), "PC side\n");
  EXPECT_EQ(zuntest::DecodedText(document), "added\n");
  if (bus.Ready()) {
    EXPECT_TRUE(Eventually([&] { return Holds(bus.Log(), "ZUN2: a task needs your choice"); })) << bus.Log();
  }
  std::this_thread::sleep_for(2500ms);  // its own writes run nothing more
  EXPECT_EQ(w.Lines(), 6u) << w.Out();
  EXPECT_EQ(w.Stop(SIGTERM), SIGTERM);
  EXPECT_EQ(zuntest::ReadText(w.dir / "out.err"), "") << "no notification service is no error";
}

TEST(ZundocWatch, PicksUpADocumentArrivingInAJPilotBackupFolderThatCameLater) {
  Watching w;
  std::filesystem::create_directories(w.dir / "home/.jpilot");
  const std::string text = w.File("memo.txt");
  zuntest::AddTask(w.data, zun::TaskAction::PalmToPc, text, "memo.pdb");
  w.Start();
  ASSERT_TRUE(w.AwaitLines(1));
  EXPECT_TRUE(Holds(w.Out(), "\t ?\tError: Palm File does not exist\n"));

  // The first HotSync makes the backup folder and leaves the document there.
  const std::string backup = w.dir / "home/.jpilot/backup/";
  std::filesystem::create_directories(backup);
  zuntest::WriteDocument(backup + ".memo.pdb.new", "from the handheld\n");
  std::filesystem::rename(backup + ".memo.pdb.new", backup + "memo.pdb");
  ASSERT_TRUE(w.AwaitLines(2));
  EXPECT_TRUE(w.Out().ends_with("\t OK\tOK\n")) << w.Out();
  EXPECT_EQ(zuntest::ReadText(text), "from the handheld\n");
  EXPECT_EQ(w.Stop(SIGINT), SIGINT);
}

TEST(ZundocWatch, EndsOnASignalAfterTheTaskInHandAlsoWhileAWindowHoldsTheFolder) {
  Watching w;
  constexpr int kTasks = 30;
  zuntest::ChangeData(w.data, [&](zun::DataFile& data) {
    for (int i = 0; i < kTasks; ++i) {
      const std::string name = "t" + std::to_string(i);
      zuntest::WriteText(w.File(name + ".txt"), zuntest::ProseText(1 << 20, static_cast<uint32_t>(i)));
      zuntest::AddTask(data, zun::TaskAction::PcToPalm, w.File(name + ".txt"), w.File(name + ".pdb"));
    }
  });
  w.Start("0");
  ASSERT_TRUE(w.AwaitLines(1));
  EXPECT_EQ(w.Stop(SIGTERM), SIGTERM);
  const size_t done = w.Lines();
  EXPECT_LT(done, static_cast<size_t>(kTasks)) << "the run ended early";
  zuntest::ChangeData(w.data, [&](zun::DataFile& data) {
    EXPECT_EQ(data.Read(zun::TaskRecordNumber(static_cast<int32_t>(done))).Status.Trimmed(), "OK")
        << "the task in hand was finished and stored";
    EXPECT_EQ(data.Read(zun::TaskRecordNumber(static_cast<int32_t>(done) + 1)).Status.Trimmed(), "");
  });

  // A window holds the folder for as long as it is open: the watch waits, and runs once it closes.
  {
    zun::DataFile window(w.data);
    window.OpenAndCheck();
    w.Start("0");
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(w.Lines(), 0u);
  }
  ASSERT_TRUE(w.AwaitLines(1));
  EXPECT_EQ(w.Stop(SIGINT), SIGINT);
  zun::DataFile window(w.data);
  window.OpenAndCheck();
  w.Start("0");
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(w.Stop(SIGTERM), SIGTERM) << "a signal ends the wait for the folder";
}

}  // namespace
