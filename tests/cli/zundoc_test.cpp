// zundoc end to end: its options, exit statuses, streams and "-", and the run's lines.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <tuple>

#include "record/data_file.h"
#include "support/test_support.h"
#include "zun2_version.h"

namespace {

// Runs zundoc in `dir`; `args` may carry redirections and a pipe. Temporary files go to dir/tmp/.
zuntest::Outcome Zundoc(const zuntest::TempDir& dir, const std::string& args) {
  std::filesystem::create_directories(dir / "tmp");
  // No J-Pilot: "Custom" is the only target.
  return zuntest::RunShell(
      "cd '" + dir.Path() + "' && export TMPDIR=tmp JPILOT_HOME=nojpilot && '" ZUNDOC_PATH "' " + args, dir.Path());
}

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Zundoc, OptionsReachTheDocumentAndStatusLinesNeverGoWhereTheTextGoes) {
  zuntest::TempDir dir;
  zuntest::WriteText(dir / "in.txt", "a\tb\r\nc");
  const std::string records = ", text records 1, record size 4096\nrecord 0: 16 bytes, attributes 0x4";
  const std::tuple<std::string, std::string, std::string> cases[] = {
      // Without options: compressed, TABs to 4 spaces, CR LF to LF, category 0.
      {"", "a    b\nc", "version 2 (compressed), text length 8" + records + "0"},
      {"--no-tabs --cr-to-lf --category 3 --no-compress", "a\tb\n\nc", "version 1, text length 6" + records + "3"},
      {"--raw --category=15", "a\tb\r\nc", "version 2 (compressed), text length 6" + records + "F"},
      {"--tab-space 2", "a  b\nc", "text length 6"},
  };
  for (const auto& [options, text, info] : cases) {
    EXPECT_EQ(Zundoc(dir, "encode " + options + " in.txt out.pdb").out, "OK\n") << options;
    EXPECT_EQ(Zundoc(dir, "decode out.pdb -").out, text) << options;
    EXPECT_TRUE(Holds(Zundoc(dir, "info out.pdb").out, info)) << options;
  }
  // "-" reads standard input and writes standard output; the status then goes to standard error.
  EXPECT_EQ(Zundoc(dir, "encode --name=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\xc3\xbc - named.pdb < in.txt"),
            (zuntest::Outcome{0, "OK\n", ""}));
  EXPECT_TRUE(Holds(Zundoc(dir, "info named.pdb").out, "name:     ABCDEFGHIJKLMNOPQRSTUVWXYZ0123\n"))
      << "31 bytes at most, never half a character";
  EXPECT_EQ(Zundoc(dir, "decode named.pdb -"), (zuntest::Outcome{0, "a    b\nc", "OK\n"}));
  EXPECT_EQ(Zundoc(dir, "decode missing.pdb -"), (zuntest::Outcome{1, "", "Error: Palm File does not exist\n"}));
  EXPECT_EQ(Zundoc(dir, "decode missing.pdb out.txt"), (zuntest::Outcome{1, "Error: Palm File does not exist\n", ""}));
  zuntest::WriteText(dir / "big.txt", zuntest::ProseText(1 << 20, 7));
  Zundoc(dir, "encode big.txt big.pdb");
  Zundoc(dir, "decode big.pdb - | head -c 10");  // the reader goes away long before the end
  EXPECT_TRUE(std::filesystem::is_empty(dir / "tmp")) << "staged files are removed";
  // --charset: the text is UTF-8, the document in the set named.
  zuntest::WriteText(dir / "ru.txt", "Привет, мир");
  EXPECT_EQ(Zundoc(dir, "encode --charset windows-1251 ru.txt ru.pdb").exit, 0);
  EXPECT_EQ(Zundoc(dir, "decode ru.pdb -").out, "\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0") << "without it: bytes";
  EXPECT_EQ(Zundoc(dir, "decode --charset WINDOWS-1251 ru.pdb -").out, "Привет, мир");
}

TEST(Zundoc, ReportsUsageErrorsHelpAndVersion) {
  zuntest::TempDir dir;
  // A usage error: one line naming it and the pointer to --help, on standard error only.
  for (const char* args :
       {"", "encode --tab-space 65 a b", "encode --bogus a b", "decode onlyone", "encode a -", "run --prefer",
        "run --dir", "run --prefer nothing", "decode --charset utf-16 a b", "encode a b --charset"}) {
    const zuntest::Outcome r = Zundoc(dir, args);
    EXPECT_EQ(r.exit, 2) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_TRUE(r.err.starts_with("zundoc: ") && r.err.ends_with("\nTry 'zundoc --help'.\n") &&
                std::count(r.err.begin(), r.err.end(), '\n') == 2)
        << args << ": " << r.err;
  }
  const zuntest::Outcome help = Zundoc(dir, "--help");
  EXPECT_EQ(help.exit, 0);
  EXPECT_TRUE(Holds(help.out, "zundoc encode") && Holds(help.out, "zundoc run") && Holds(help.out, "--charset"));
  EXPECT_EQ(Zundoc(dir, "--version"), (zuntest::Outcome{0, "zundoc (ZUN2) " ZUN2_VERSION "\n", ""}));
}

// Changes the data file in `dir` (while no zundoc runs there).
void ChangeData(const zuntest::TempDir& dir, const std::function<void(zun::DataFile&)>& change) {
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  change(data);
}

TEST(ZundocRun, AnswersThroughItsOptionsAndFailsWhenATaskFails) {
  zuntest::TempDir dir;
  const std::string text = dir / "a.txt";
  const std::string document = dir / "a.pdb";
  zuntest::WriteText(text, "PC text");
  zuntest::WriteText(document, "old document");
  // Stamps never set: both sides count as changed. Asking is on in a new data file: Skip.
  ChangeData(dir, [&](zun::DataFile& data) { zuntest::AddTask(data, zun::TaskAction::BothWays, text, document); });
  const std::string row = "1\t" + text + "\t" + document + "\t";
  EXPECT_EQ(Zundoc(dir, "run"), (zuntest::Outcome{0, row + " -\tUser skipped task\n", ""}));
  EXPECT_TRUE(Holds(Zundoc(dir, "run --prefer pc").out, "\t OK\tOK\n"));
  EXPECT_EQ(Zundoc(dir, "decode a.pdb -").out, "PC text");
  ChangeData(dir, [](zun::DataFile& data) {
    zuntest::ChangeRecord(data, 3, [](zun::TaskRecord& r) { r.Action = zun::TaskAction::PcToPalm; });
  });
  EXPECT_TRUE(Holds(Zundoc(dir, "run").out, "User skipped task"));
  EXPECT_TRUE(Holds(Zundoc(dir, "run --yes").out, "\t OK\tOK\n"));
  std::filesystem::remove(text);
  std::filesystem::remove(document);
  EXPECT_EQ(Zundoc(dir, "run"), (zuntest::Outcome{1, row + " ?\tError: PC File does not exist\n", ""}));
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
  ChangeData(dir, [](zun::DataFile& data) {
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
  const std::string command =
      "cd / && JPILOT_HOME='" + dir / "home" + "' '" ZUNDOC_PATH "' run --dir '" + dir.Path() + "'";
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
