// zundoc end to end: commands, options, exit statuses, streams.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "record/data_file.h"
#include "support/test_support.h"
#include "zun2_version.h"

namespace {

struct Result {
  int exit;
  std::string out;
  std::string err;
};

// Runs zundoc in `dir`; `args` may carry redirections and a pipe. Temporary files go to dir/tmp/.
Result Zundoc(const zuntest::TempDir& dir, const std::string& args) {
  std::filesystem::create_directories(dir / "tmp");
  // No J-Pilot: "Custom" is the only target.
  const std::string command = "cd '" + dir.Path() +
                              "' && export TMPDIR=tmp JPILOT_HOME=nojpilot && '" ZUNDOC_PATH "' " + args +
                              " >stdout 2>stderr";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, zuntest::ReadText(dir / "stdout"),
          zuntest::ReadText(dir / "stderr")};
}

TEST(Zundoc, EncodesAndDecodesWithOptions) {
  zuntest::TempDir dir;
  zuntest::WriteText(dir / "in.txt", "a\tb\r\nc");
  EXPECT_EQ(Zundoc(dir, "encode in.txt out.pdb").exit, 0);
  Result r = Zundoc(dir, "decode out.pdb back.txt");
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.out, "OK\n");
  EXPECT_EQ(zuntest::ReadText(dir / "back.txt"), "a    b\nc");
  EXPECT_EQ(Zundoc(dir, "encode --no-tabs --cr-to-lf --category 3 --no-compress in.txt out.pdb").exit, 0);
  Zundoc(dir, "decode out.pdb back.txt");
  EXPECT_EQ(zuntest::ReadText(dir / "back.txt"), "a\tb\n\nc");
  EXPECT_EQ(Zundoc(dir, "encode --raw --tab-space 0 in.txt out.pdb").exit, 0);
  Zundoc(dir, "decode out.pdb back.txt");
  EXPECT_EQ(zuntest::ReadText(dir / "back.txt"), "a\tb\r\nc");
  r = Zundoc(dir, "info out.pdb");
  EXPECT_EQ(r.exit, 0);
  EXPECT_NE(r.out.find("name:     out\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("records:  2\n"), std::string::npos) << r.out;
  EXPECT_FALSE(zuntest::Exists(dir / "zundata.tmp")) << "temporary files stay private";

  // "-" reads standard input and writes standard output, where the status must not go.
  r = Zundoc(dir, "encode --name=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\xc3\xbc - named.pdb < in.txt");
  EXPECT_EQ(r.out, "OK\n");
  EXPECT_NE(Zundoc(dir, "info named.pdb").out.find("name:     ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\n"), std::string::npos)
      << "31 bytes at most, never half a character";
  r = Zundoc(dir, "decode named.pdb -");
  EXPECT_EQ(r.exit, 0);
  EXPECT_EQ(r.out, "a    b\nc");
  EXPECT_EQ(r.err, "OK\n");
  zuntest::WriteText(dir / "big.txt", zuntest::ProseText(1 << 20, 7));
  Zundoc(dir, "encode big.txt big.pdb");
  Zundoc(dir, "decode big.pdb - | head -c 10");  // the reader goes away long before the end
  EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp")) << "staged files are removed";
}

TEST(Zundoc, ReportsErrorsAndUsage) {
  zuntest::TempDir dir;
  zuntest::WriteText(dir / "empty.txt", "");
  Result r = Zundoc(dir, "encode empty.txt out.pdb");
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.out, "Error: PC File is empty\n");
  r = Zundoc(dir, "decode missing.pdb out.txt");
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.out, "Error: Palm File does not exist\n");
  r = Zundoc(dir, "decode missing.pdb -");
  EXPECT_EQ(r.exit, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error: Palm File does not exist\n");
  EXPECT_EQ(Zundoc(dir, "info empty.txt").exit, 1);

  // A usage error: one line naming it and the pointer to --help, on standard error only.
  for (const char* args : {"", "encode --tab-space 65 a b", "encode --bogus a b", "decode onlyone", "encode a -",
                           "run --prefer", "run --dir"}) {
    r = Zundoc(dir, args);
    EXPECT_EQ(r.exit, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_TRUE(r.err.starts_with("zundoc: ") && r.err.ends_with("\nTry 'zundoc --help'.\n") &&
                std::count(r.err.begin(), r.err.end(), '\n') == 2)
        << args << ": " << r.err;
  }
  r = Zundoc(dir, "--help");
  EXPECT_EQ(r.exit, 0);
  for (const char* command : {"zundoc encode", "zundoc decode", "zundoc info", "zundoc run", "--name", "--dir"}) {
    EXPECT_NE(r.out.find(command), std::string::npos) << command;
  }
  r = Zundoc(dir, "--version");
  EXPECT_EQ(r.out, "zundoc (ZUN2) " ZUN2_VERSION "\n");
  EXPECT_EQ(r.exit, 0);
}

struct Task {
  int16_t action;
  std::string pc;
  std::string palm;
  std::string targets = "";  // default: those of a new task
  std::string status = "";
};

// A data file in `dir` with the given tasks.
void WriteTasks(const zuntest::TempDir& dir, const std::vector<Task>& tasks) {
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  for (const Task& t : tasks) {
    const int32_t row = data.AddTask();
    zun::TaskRecord task = data.Read(zun::TaskRecordNumber(row));
    task.Action = static_cast<zun::TaskAction>(t.action);
    task.PcFile = t.pc;
    task.PalmFile = t.palm;
    if (!t.targets.empty()) task.Targets = t.targets;
    task.Status = t.status;
    data.Write(zun::TaskRecordNumber(row), task);
  }
}

TEST(ZundocRun, RunsTheTaskListAndReportsEachTask) {
  zuntest::TempDir dir;
  zuntest::WriteText(dir / "a.txt", "first");
  Zundoc(dir, "encode a.txt b.pdb");
  WriteTasks(dir,
             {{3, dir / "a.txt", dir / "a.pdb"}, {4, dir / "b.txt", dir / "b.pdb"}, {2, dir / "c.txt", dir / "c.pdb"}});
  const Result r = Zundoc(dir, "run --dir '" + dir.Path() + "'");
  EXPECT_EQ(r.exit, 1) << "task 3 failed";
  EXPECT_EQ(r.out, "1\t" + dir / "a.txt" + "\t" + dir / "a.pdb" + "\t OK\tOK\n" + "2\t" + dir / "b.txt" + "\t" +
                       dir / "b.pdb" + "\t OK\tOK\n" + "3\t" + dir / "c.txt" + "\t" + dir / "c.pdb" +
                       "\t ?\tError: Palm File does not exist\n");
  EXPECT_EQ(zuntest::ReadText(dir / "b.txt"), "first");
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  EXPECT_EQ(data.Read(4).Status.Trimmed(), "OK") << "outcomes are stored";
  data.Close();
  EXPECT_EQ(Zundoc(dir, "run --dir '" + dir.Path() + "'").out.substr(0, 2), "1\t");
}

TEST(ZundocRun, AsksThroughItsOptions) {
  zuntest::TempDir dir;
  zuntest::WriteText(dir / "a.txt", "new text");
  zuntest::WriteText(dir / "a.pdb", "old document");
  WriteTasks(dir, {{3, dir / "a.txt", dir / "a.pdb"}});
  Result r = Zundoc(dir, "run");  // asking is on in a new data file: Skip
  EXPECT_EQ(r.exit, 0);
  EXPECT_NE(r.out.find("\t -\tUser skipped task"), std::string::npos) << r.out;
  EXPECT_EQ(zuntest::ReadText(dir / "a.pdb"), "old document");
  r = Zundoc(dir, "run --yes");
  EXPECT_NE(r.out.find("\t OK\tOK"), std::string::npos) << r.out;

  // Both sides changed since (stamps of the run above, files touched later).
  zuntest::WriteText(dir / "a.txt", "PC edit");
  zuntest::SetModificationTime(dir / "a.txt", std::time(nullptr) + 60);
  zuntest::SetModificationTime(dir / "a.pdb", std::time(nullptr) + 60);
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  zun::TaskRecord task = data.Read(3);
  task.Action = zun::TaskAction::BothWays;
  data.Write(3, task);
  data.Close();
  r = Zundoc(dir, "run");
  EXPECT_NE(r.out.find("User skipped task"), std::string::npos) << r.out;
  r = Zundoc(dir, "run --prefer pc");
  EXPECT_NE(r.out.find("\t OK\tOK"), std::string::npos) << r.out;
  Zundoc(dir, "decode a.pdb check.txt");
  EXPECT_EQ(zuntest::ReadText(dir / "check.txt"), "PC edit");
  EXPECT_EQ(Zundoc(dir, "run --prefer nothing").exit, 2);
}

TEST(ZundocRun, PrintsEachTaskOnOneLineAsSoonAsItIsDone) {
  zuntest::TempDir dir;
  // J-Pilot while a sync rewrites its install list: queueing the last task's document waits.
  const std::string jpilot = dir / "home/.jpilot/";
  std::filesystem::create_directories(jpilot + "backup");
  zuntest::WriteText(jpilot + "jpilot.install.tmp", "");
  zuntest::WriteText(dir / "new\nline.txt", "first");
  zuntest::WriteText(dir / "b.txt", "second");
  // Relative paths, taken from the data folder although zundoc starts elsewhere; targets: the
  // J-Pilot user is entry 0, "Custom" entry 1.
  WriteTasks(dir, {{1, "old.txt", "old.pdb", "01", "Error: from an earlier run"},
                   {3, "new\nline.txt", "a.pdb", "01"},
                   {3, "b.txt", "b.pdb", "10"}});
  const std::string command =
      "cd / && JPILOT_HOME='" + dir / "home" + "' '" ZUNDOC_PATH "' run --dir '" + dir.Path() + "'";
  FILE* out = ::popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  char line[4096];
  auto nextLine = [&] { return std::string(std::fgets(line, sizeof line, out) != nullptr ? line : ""); };
  EXPECT_EQ(nextLine(), "1\told.txt\told.pdb\t ?\tError: from an earlier run\n");
  EXPECT_EQ(nextLine(), "2\tnew\\nline.txt\ta.pdb\t OK\tOK\n");
  // Read while the last task waits: once the list is free it goes on and succeeds.
  std::filesystem::remove(jpilot + "jpilot.install.tmp");
  EXPECT_EQ(nextLine(), "3\tb.txt\tb.pdb\t OK\tOK\n") << "the earlier lines came only at the end";
  const int status = ::pclose(out);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "an old error of a task not run does not count";
  EXPECT_TRUE(zuntest::Exists(dir / "a.pdb"));
  EXPECT_TRUE(zuntest::Exists(jpilot + "backup/b.pdb"));
}

}  // namespace
