// zundoc end to end: commands, options, exit codes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "support/test_support.h"

namespace {

struct Result {
  int exit;
  std::string out;
};

Result Zundoc(const zuntest::TempDir& dir, const std::string& args) {
  const std::string outFile = dir / "stdout";
  const int status = std::system(("cd '" + dir.Path() + "' && '" ZUNDOC_PATH "' " + args + " >'" + outFile + "' 2>/dev/null").c_str());
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

}  // namespace
