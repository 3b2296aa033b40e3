// zundoc end to end: its options, exit statuses, streams and "-", what it says about a failure, long
// paths, signals while it reads standard input, and the run's lines and data folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

#include "record/data_file.h"
#include "support/test_support.h"
#include "zun2_version.h"

namespace {

// Runs zundoc in `dir` with the variables `env` ("NAME=value ..."); `args` may carry redirections
// and a pipe. Temporary files go to dir/tmp/, the home is dir/home/.
zuntest::Outcome Zundoc(const zuntest::TempDir& dir, const std::string& args, const std::string& env = "") {
  std::filesystem::create_directories(dir / "tmp");
  // No J-Pilot: "Custom" is the only target.
  return zuntest::RunShell("cd '" + dir.Path() +
                               "' && unset XDG_DATA_HOME && export TMPDIR=tmp JPILOT_HOME=nojpilot HOME='" +
                               dir / "home" + "' && " + env + " '" ZUNDOC_PATH "' " + args,
                           dir.Path());
}

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Zundoc, OptionsReachTheDocumentAndStatusLinesNeverGoWhereTheTextGoes) {
  zuntest::TempDir dir;
  zuntest::WriteText(dir / "in.txt", "a\tb\r\nc\rd");
  const std::string records = ", text records 1, record size 4096\nrecord 0: 16 bytes, attributes 0x4";
  const std::tuple<std::string, std::string, std::string> cases[] = {
      // Without options: compressed, TABs to 4 spaces, CR LF to LF and a lone CR dropped, category 0.
      {"", "a    b\ncd", "version 2 (compressed), text length 9" + records + "0"},
      {"--no-tabs --cr-to-lf --category 3 --no-compress", "a\tb\n\nc\nd", "version 1, text length 8" + records + "3"},
      {"--raw --category=15", "a\tb\r\nc\rd", "version 2 (compressed), text length 8" + records + "F"},
      {"--tab-space 0", "ab\ncd", "text length 5"},  // a TAB of no blanks
  };
  for (const auto& [options, text, info] : cases) {
    EXPECT_EQ(Zundoc(dir, "encode " + options + " in.txt out.pdb").out, "OK\n") << options;
    EXPECT_EQ(Zundoc(dir, "decode out.pdb -").out, text) << options;
    EXPECT_TRUE(Holds(Zundoc(dir, "info out.pdb").out, info)) << options;
  }
  // "-" reads standard input (a pipe, or a file read from its start) and writes standard output;
  // the status then goes to standard error.
  EXPECT_EQ(Zundoc(dir, "encode --name=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\xc3\xbc - named.pdb < in.txt"),
            (zuntest::Outcome{0, "OK\n", ""}));
  EXPECT_TRUE(Holds(Zundoc(dir, "info named.pdb").out, "name:     ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\n"))
      << "31 bytes at most, never half a character";
  EXPECT_EQ(Zundoc(dir, "decode named.pdb -"), (zuntest::Outcome{0, "a    b\ncd", "OK\n"}));
  EXPECT_EQ(Zundoc(dir, "encode --name 'Notes 2024/05' - piped.pdb", "cat in.txt |").out, "OK\n");
  EXPECT_TRUE(Holds(Zundoc(dir, "info piped.pdb").out, "name:     Notes 2024/05\n"));
  zuntest::WriteText(dir / "big.txt", zuntest::ProseText(1 << 20, 7));
  Zundoc(dir, "encode big.txt big.pdb");
  Zundoc(dir, "decode big.pdb - | head -c 10");  // the reader goes away long before the end
  EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp")) << "nothing staged stays";
  // --charset: the text is UTF-8, the document in the set named.
  zuntest::WriteText(dir / "ru.txt", "Привет, мир");
  EXPECT_EQ(Zundoc(dir, "encode --charset windows-1251 ru.txt ru.pdb").exit, 0);
  EXPECT_EQ(Zundoc(dir, "decode ru.pdb -").out, "\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0") << "without it: bytes";
  EXPECT_EQ(Zundoc(dir, "decode --charset WINDOWS-1251 ru.pdb -").out, "Привет, мир");
}

// Beside the status, which file failed and why: "zundoc: FILE: reason" on standard error.
TEST(Zundoc, SaysWhichFileFailedAndWhy) {
  zuntest::TempDir dir;
  zuntest::WriteText(dir / "in.txt", "text");
  zuntest::WriteText(dir / "empty.txt", "");
  zuntest::WriteText(dir / "junk.pdb", "no database");
  std::filesystem::create_directory(dir / "folder");
  ASSERT_EQ(Zundoc(dir, "encode in.txt doc.pdb").exit, 0);
  zuntest::WriteText(dir / "huge.txt", "");
  std::filesystem::resize_file(dir / "huge.txt", 300u << 20);  // sparse: more records than a document holds
  const std::string couldNotOpen = "Error: Could not open Palm or PC File\n";
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"encode missing.txt out.pdb", "Error: PC File does not exist\n", "missing.txt: No such file or directory"},
      {"encode folder out.pdb", couldNotOpen, "folder: Is a directory"},
      {"encode in.txt folder", couldNotOpen, "folder: Is a directory"},
      {"encode in.txt nofolder/out.pdb", couldNotOpen, "nofolder/: No such file or directory"},
      {"encode in.txt in.txt", couldNotOpen, "in.txt: the same file as the text"},
      {"encode empty.txt out.pdb", "Error: PC File is empty\n", "empty.txt: PC File is empty"},
      {"encode - out.pdb < empty.txt", "Error: PC File is empty\n", "standard input: PC File is empty"},
      {"encode --raw huge.txt out.pdb", couldNotOpen, "huge.txt: too long for a document"},
      {"encode in.txt folder/", "Error: no Palm File selected\n", "folder/: no file name"},
      {"decode missing.pdb out.txt", "Error: Palm File does not exist\n", "missing.pdb: No such file or directory"},
      {"decode junk.pdb out.txt", "Error: unknown or corrupted Palm File header\n",
       "junk.pdb: unknown or corrupted Palm File header"},
      {"decode doc.pdb folder", couldNotOpen, "folder: Is a directory"},
      {"info junk.pdb", "", "junk.pdb: not a Palm database"},
  };
  for (const auto& [args, status, reason] : cases) {
    EXPECT_EQ(Zundoc(dir, args), (zuntest::Outcome{1, status, "zundoc: " + reason + "\n"})) << args;
  }
  EXPECT_EQ(
      Zundoc(dir, "decode missing.pdb -"),
      (zuntest::Outcome{1, "", "Error: Palm File does not exist\nzundoc: missing.pdb: No such file or directory\n"}));
  EXPECT_FALSE(zuntest::Exists(dir / "out.pdb") || zuntest::Exists(dir / "out.txt"));
}

TEST(Zundoc, ReportsUsageErrorsHelpAndVersion) {
  zuntest::TempDir dir;
  // A usage error: one line naming it and the pointer to --help, on standard error only.
  for (const char* args : {"", "encode --tab-space 65 a b", "encode --bogus a b", "decode onlyone", "encode a -",
                           "run --prefer", "run --dir", "run --prefer nothing", "decode --charset utf-16 a b",
                           "encode a b --charset", "watch --quiet 3600.5", "watch --quiet .5", "watch folder"}) {
    const zuntest::Outcome r = Zundoc(dir, args);
    EXPECT_TRUE(r.exit == 2 && r.out.empty() && r.err.starts_with("zundoc: ") &&
                r.err.ends_with("\nTry 'zundoc --help'.\n") && std::count(r.err.begin(), r.err.end(), '\n') == 2)
        << args << ": " << ::testing::PrintToString(r);
  }
  const zuntest::Outcome help = Zundoc(dir, "--help");
  EXPECT_TRUE(help.exit == 0 && Holds(help.out, "zundoc encode") && Holds(help.out, "zundoc run") &&
              Holds(help.out, "zundoc watch") && Holds(help.out, "--charset"));
  for (const char* args : {"encode -h", "decode x.pdb -h", "run --dir . -h", "info -h", "watch -h"}) {
    EXPECT_EQ(Zundoc(dir, args), (zuntest::Outcome{0, help.out, ""})) << args;
  }
  EXPECT_EQ(Zundoc(dir, "--version"), (zuntest::Outcome{0, "zundoc (ZUN2) " ZUN2_VERSION "\n", ""}));
}

// The 512 bytes of a task's path fields bind neither the current folder nor the files named.
TEST(Zundoc, DeepFoldersAndPathsLongerThanAFieldWork) {
  zuntest::TempDir dir;
  std::string deep;
  for (char c = 'a'; c < 'g'; ++c) deep += std::string(100, c) + "/";  // 606 bytes
  std::filesystem::create_directories(dir / deep);
  zuntest::WriteText(dir / (deep + "notes.txt"), "deep text");
  EXPECT_EQ(Zundoc(dir, "encode " + deep + "notes.txt " + deep + "notes.pdb"), (zuntest::Outcome{0, "OK\n", ""}));
  EXPECT_TRUE(Holds(Zundoc(dir, "info " + deep + "notes.pdb").out, "name:     notes\n"));
  EXPECT_EQ(Zundoc(dir, "decode " + deep + "missing.pdb x.txt").err,
            "zundoc: " + deep + "missing.pdb: No such file or directory\n")
      << "named as given";
  const std::string inDeep = "cd '" + dir / deep + "' && '" ZUNDOC_PATH "' ";
  EXPECT_EQ(zuntest::RunShell(inDeep + "decode notes.pdb back.txt", dir.Path()), (zuntest::Outcome{0, "OK\n", ""}));
  EXPECT_EQ(zuntest::ReadText(dir / (deep + "back.txt")), "deep text");
  EXPECT_EQ(
      zuntest::RunShell(inDeep + "decode notes.pdb - 2>status | '" ZUNDOC_PATH "' encode - again.pdb", dir.Path()).out,
      "OK\n");
}

// Killed while it waits for more of standard input (a blocking read the signal must end), zundoc
// ends by the signal and leaves the document and the folders as they were, the named copy it staged
// of the input removed. (SIGTERM and SIGHUP, which share its handler, are the fault tests'.)
TEST(Zundoc, ASignalWhileReadingStandardInputLeavesNothing) {
  zuntest::TempDir dir;
  std::filesystem::create_directory(dir / "tmp");
  zuntest::WriteText(dir / "doc.pdb", "old document");
  int pipe[2];
  ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
  const pid_t zundoc = zuntest::Spawn({ZUNDOC_PATH, "encode", "-", dir / "doc.pdb"},
                                      {"TMPDIR=" + dir / "tmp", "ZUN2_NO_TMPFILE=1"}, dir / "output", pipe[0]);
  const std::string text = zuntest::ProseText(1 << 16, 1);
  ASSERT_EQ(::write(pipe[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  for (int wait = 0, unread = 1; wait < 500 && unread > 0; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::ioctl(pipe[0], FIONREAD, &unread);
  }
  ::kill(zundoc, SIGINT);
  int status = 0;
  ::waitpid(zundoc, &status, 0);
  for (const int end : pipe) ::close(end);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status << zuntest::ReadText(dir / "output.err");
  EXPECT_EQ(zuntest::ReadText(dir / "doc.pdb"), "old document");
  EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 4) << "doc.pdb, tmp, output(.err)";
}

TEST(ZundocRun, AnswersThroughItsOptionsAndFailsWhenATaskFails) {
  zuntest::TempDir dir;
  const std::string text = dir / "a.txt";
  const std::string document = dir / "a.pdb";
  zuntest::WriteText(text, "PC text");
  zuntest::WriteText(document, "old document");
  // Stamps never set: both sides count as changed. Asking is on in a new data file: Skip.
  zuntest::AddTask(dir.Path(), zun::TaskAction::BothWays, text, document);
  const std::string row = "1\t" + text + "\t" + document + "\t";
  EXPECT_EQ(Zundoc(dir, "run --dir ."), (zuntest::Outcome{0, row + " -\tUser skipped task\n", ""}));
  EXPECT_TRUE(Holds(Zundoc(dir, "run --dir . --prefer pc").out, "\t OK\tOK\n"));
  EXPECT_EQ(Zundoc(dir, "decode a.pdb -").out, "PC text");
  // Both sides change the one line since: skipped, and standard error shows the two versions.
  zuntest::WriteText(dir / "b.txt", "the handheld's\n");
  ASSERT_EQ(Zundoc(dir, "encode --raw b.txt a.pdb").exit, 0);
  zuntest::WriteText(text, "the PC's\n");
  for (const std::string& side : {text, document}) zuntest::SetModificationTime(side, std::time(nullptr) + 60);
  EXPECT_EQ(Zundoc(dir, "run --dir ."),
            (zuntest::Outcome{0, row + " -\tUser skipped task\n",
                              "zundoc: " + text + ": both files changed the same lines; --prefer pc or --prefer palm "
                              "chooses\n  Changed on both sides:\n  PC File:\n      the PC's\n  Palm File:\n"
                              "      the handheld's\n"}));
  zuntest::ChangeData(dir.Path(), [](zun::DataFile& data) {
    zuntest::ChangeRecord(data, 3, [](zun::TaskRecord& r) { r.Action = zun::TaskAction::PcToPalm; });
  });
  EXPECT_TRUE(Holds(Zundoc(dir, "run --dir .").out, "User skipped task"));
  EXPECT_TRUE(Holds(Zundoc(dir, "run --dir . --yes").out, "\t OK\tOK\n"));
  std::filesystem::remove(text);
  std::filesystem::remove(document);
  EXPECT_EQ(Zundoc(dir, "run --dir ."), (zuntest::Outcome{1, row + " ?\tError: PC File does not exist\n",
                                                          "zundoc: " + text + ": No such file or directory\n"}));
}

// Without --dir: the window's folder, made when missing; a relative XDG_DATA_HOME counts as unset.
TEST(ZundocRun, UsesTheWindowsDataFolder) {
  zuntest::TempDir dir;
  EXPECT_EQ(Zundoc(dir, "run", "XDG_DATA_HOME='" + dir / "data" + "'"), (zuntest::Outcome{0, "", ""}));
  EXPECT_TRUE(zuntest::Exists(dir / "data/zun2/zundata.dat"));
  EXPECT_EQ(Zundoc(dir, "run", "XDG_DATA_HOME=relative").exit, 0);
  EXPECT_TRUE(zuntest::Exists(dir / "home/.local/share/zun2/zundata.dat"));
  EXPECT_EQ(std::filesystem::status(dir / "home/.local/share/zun2").permissions(), std::filesystem::perms(0700));
  EXPECT_FALSE(zuntest::Exists(dir / "relative") || zuntest::Exists(dir / "zundata.dat"));
}

TEST(ZundocRun, PutsWhatItReplacesIntoTheTrashWhereGioListsAndRestoresIt) {
  zuntest::TempDir dir;
  const std::string text = dir / "a b.txt";
  const std::string document = dir / "a b.pdb";
  zuntest::WriteText(text, "PC text\n");
  zuntest::WriteText(document, "somebody's file");
  // No stamps, no base: both sides changed, and the document is no file the task wrote.
  zuntest::AddTask(dir.Path(), zun::TaskAction::BothWays, text, document);
  EXPECT_TRUE(Holds(Zundoc(dir, "run --dir . --prefer pc").out, "\t OK\tOK\n"));
  EXPECT_EQ(zuntest::ReadText(dir / "home/.local/share/Trash/files/a b.pdb"), "somebody's file");
  zuntest::WriteText(document, "another file");
  for (const std::string& side : {text, document}) zuntest::SetModificationTime(side, std::time(nullptr) + 60);
  EXPECT_TRUE(Holds(Zundoc(dir, "run --dir . --prefer pc --no-trash").out, "\t OK\tOK\n"));
  EXPECT_FALSE(zuntest::Exists(dir / "home/.local/share/Trash/files/a b.2.pdb"));

  // gio reaches the Trash through GVfs, which needs a session bus.
  const std::string gio =
      "cd '" + dir.Path() + "' && unset XDG_DATA_HOME && HOME='" + dir / "home" + "' dbus-run-session -- gio trash ";
  const zuntest::Outcome listed = zuntest::RunShell(gio + "--list", dir.Path());
  if (listed.exit != 0) GTEST_SKIP() << "gio cannot reach the Trash: " << listed.err;
  EXPECT_EQ(listed.out, "trash:///a%20b.pdb\t" + document + "\n");
  EXPECT_EQ(zuntest::RunShell(gio + "--restore --force 'trash:///a%20b.pdb'", dir.Path()).exit, 0);
  EXPECT_EQ(zuntest::ReadText(document), "somebody's file");
}

TEST(ZundocRun, PrintsEachTaskOnOneLineAsSoonAsItIsDone) {
  zuntest::TempDir dir;
  // J-Pilot while a sync rewrites its install list: queueing the last task's document waits.
  const std::string jpilot = dir / "home/.jpilot/";
  std::filesystem::create_directories(jpilot + "backup");
  zuntest::WriteText(jpilot + "jpilot.install.tmp", "");
  zuntest::WriteText(dir / "new\nline\\.txt", "first");
  zuntest::WriteText(dir / "b.txt", "second");
  // Relative paths, taken from the data folder although zundoc starts elsewhere; targets: the
  // J-Pilot user is entry 0, "Custom" entry 1.
  zuntest::ChangeData(dir.Path(), [](zun::DataFile& data) {
    using enum zun::TaskAction;
    for (const auto& [action, pc, palm, targets] : {std::tuple{NoConversion, "old.txt", "old\x7f.pdb", "01"},
                                                    {PcToPalm, "new\nline\\.txt", "a.pdb", "01"},
                                                    {PcToPalm, "b.txt", "b.pdb", "10"}}) {
      const bool earlier = action == NoConversion;
      zuntest::ChangeRecord(data, zuntest::AddTask(data, action, pc, palm), [t = targets, earlier](zun::TaskRecord& r) {
        r.Targets = t;
        if (earlier) r.Status = "Error: from an earlier run";
      });
    }
  });
  const std::string command = "cd / && JPILOT_HOME='" + dir / "home" + "' XDG_DATA_HOME='" + dir / "home" +
                              "' '" ZUNDOC_PATH "' run --dir '" + dir.Path() + "'";
  FILE* out = ::popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  char line[4096];
  auto nextLine = [&] { return std::string(std::fgets(line, sizeof line, out) != nullptr ? line : ""); };
  EXPECT_EQ(nextLine(), "1\told.txt\told\\x7f.pdb\t ?\tError: from an earlier run\n");
  EXPECT_EQ(nextLine(), "2\tnew\\nline\\\\.txt\ta.pdb\t OK\tOK\n");
  // Read while the last task waits: once the list is free it goes on and succeeds.
  std::filesystem::remove(jpilot + "jpilot.install.tmp");
  EXPECT_EQ(nextLine(), "3\tb.txt\tb.pdb\t OK\tOK\n") << "the earlier lines came only at the end";
  const int status = ::pclose(out);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "an old error of a task not run does not count";
  EXPECT_TRUE(zuntest::Exists(dir / "a.pdb"));
  EXPECT_TRUE(zuntest::Exists(jpilot + "backup/b.pdb"));
}

}  // namespace
