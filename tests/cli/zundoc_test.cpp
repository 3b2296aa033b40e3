// zundoc end to end: commands, options, exit codes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <ctime>
#include <tuple>

#include "support/test_support.h"
#include "record/data_file.h"

namespace {

struct Result {
  int exit;
  std::string out;
};

Result Zundoc(const zuntest::TempDir& dir, const std::string& args) {
  const std::string outFile = dir / "stdout";
  // No J-Pilot: "Custom" is the only target.
  const std::string command = "cd '" + dir.Path() + "' && JPILOT_HOME='" + dir.Path() + "nojpilot' '" ZUNDOC_PATH "' " +
                              args + " >'" + outFile + "' 2>/dev/null";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, zuntest::ReadText(outFile)};
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
  EXPECT_EQ(Zundoc(dir, "").exit, 2);
  EXPECT_EQ(Zundoc(dir, "encode --tab-space 65 a b").exit, 2);
  EXPECT_EQ(Zundoc(dir, "encode --bogus a b").exit, 2);
  EXPECT_EQ(Zundoc(dir, "decode onlyone").exit, 2);
  EXPECT_EQ(Zundoc(dir, "--help").exit, 0);
  EXPECT_EQ(Zundoc(dir, "info empty.txt").exit, 1);
}

// A data file in `dir` with the given tasks: action, PC file, Palm file ("Custom" targets).
void WriteTasks(const zuntest::TempDir& dir, const std::vector<std::tuple<int16_t, std::string, std::string>>& tasks) {
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  for (const auto& [action, pc, palm] : tasks) {
    const int32_t row = data.AddTask();
    zun::TaskRecord task = data.Read(zun::TaskRecordNumber(row));
    task.Action = static_cast<zun::TaskAction>(action);
    task.PcFile = pc;
    task.PalmFile = palm;
    data.Write(zun::TaskRecordNumber(row), task);
  }
}

TEST(ZundocRun, RunsTheTaskListAndReportsEachTask) {
  zuntest::TempDir dir;
  zuntest::WriteText(dir / "a.txt", "first");
  Zundoc(dir, "encode a.txt b.pdb");
  WriteTasks(dir, {{3, dir / "a.txt", dir / "a.pdb"},
                   {4, dir / "b.txt", dir / "b.pdb"},
                   {2, dir / "c.txt", dir / "c.pdb"}});
  const Result r = Zundoc(dir, "run --dir '" + dir.Path() + "'");
  EXPECT_EQ(r.exit, 1) << "task 3 failed";
  EXPECT_EQ(r.out, "1\t" + dir / "a.txt" + "\t" + dir / "a.pdb" + "\t OK\tOK\n" +
                   "2\t" + dir / "b.txt" + "\t" + dir / "b.pdb" + "\t OK\tOK\n" +
                   "3\t" + dir / "c.txt" + "\t" + dir / "c.pdb" + "\t ?\tError: Palm File does not exist\n");
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

}  // namespace
