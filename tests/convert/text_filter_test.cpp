// Text filters: CR and TAB handling, blocks, "Raw!".
#include <gtest/gtest.h>

#include <filesystem>

#include "convert/text_filter.h"
#include "support/test_support.h"

namespace {

std::string Filter(const std::string& in, bool tabs, int blanks, bool crToLf) {
  std::vector<uint8_t> out;
  zun::FilterBlock(reinterpret_cast<const uint8_t*>(in.data()), in.size(), tabs, blanks, crToLf, out);
  return std::string(out.begin(), out.end());
}

TEST(TextFilter, TabsAndLineEnds) {
  EXPECT_EQ(Filter("a\tb", true, 4, false), "a    b");
  EXPECT_EQ(Filter("a\tb", true, 0, false), "ab");
  EXPECT_EQ(Filter("a\tb", false, 4, false), "a\tb");
  EXPECT_EQ(Filter("x\r\ny", false, 4, false), "x\ny");
  EXPECT_EQ(Filter("x\r\ny", false, 4, true), "x\n\ny");
  EXPECT_EQ(Filter("mac\rend", false, 4, false), "macend");
  EXPECT_EQ(Filter("mac\rend", false, 4, true), "mac\nend");
}

TEST(TextFilter, FiltersWholeFilesBlockByBlock) {
  zuntest::ConversionSetup s;
  const std::string text = s.files / "t.txt";
  std::string content(8192, 'x');
  content[4095] = '\r';  // a CR LF pair split across the two blocks
  content[4096] = '\n';
  content[10] = '\t';
  zuntest::WriteText(text, content);
  zun::TaskRecord task = s.Task(zun::TaskAction::PcToPalm, text, "t.pdb");
  task.TabSpace = 2;
  zun::ConversionEnv env = s.Env();
  const zun::ByteFile out = zun::FilterText(zun::ByteFile::OpenForReading(text), task, env);
  std::string expected = content;
  expected.erase(4095, 1);
  expected.replace(10, 1, "  ");
  const auto bytes = out.View(0, static_cast<size_t>(out.Length()));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
  EXPECT_TRUE(std::filesystem::is_empty(s.programDir.Path())) << "the filtered copy has no name";
  EXPECT_EQ(s.host.progressMaximum, 2);
  EXPECT_EQ(s.host.progressCaptions, std::vector<std::string>{"Applying Filters"});
}

}  // namespace
