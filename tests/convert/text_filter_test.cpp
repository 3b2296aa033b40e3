// Text filters: CR and TAB handling, block by block, and what a conversion shows while it filters.
#include "convert/text_filter.h"

#include <gtest/gtest.h>

#include "convert/conversion_fixture.h"

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

class FilteredConversion : public zuntest::ConversionTest {};

TEST_F(FilteredConversion, FiltersBlockByBlockShowsProgressAndStoresTheFilteredLength) {
  std::string content(8192, 'x');
  content[4095] = '\r';  // a CR LF pair split across the two blocks
  content[4096] = '\n';
  content[10] = '\t';
  zuntest::WriteText(text, content);
  zun::TaskRecord task = Task(zun::TaskAction::PcToPalm);
  task.TabSpace = 3;
  std::vector<int32_t> ranges;  // of the progress bar, as the steps show them
  s.host.onLetEventsRun = [&] {
    if (ranges.empty() || ranges.back() != s.host.progressMaximum) ranges.push_back(s.host.progressMaximum);
  };
  ASSERT_EQ(Status(task), "OK");
  content.erase(4095, 1);
  content.replace(10, 1, "   ");
  EXPECT_EQ(zuntest::StoredRecords(document)[0].bytes, zun::MakeDocInfo(8193, 3, true)) << "the filtered length";
  EXPECT_EQ(ranges, (std::vector<int32_t>{2, 3})) << "blocks filtered, records compressed";
  EXPECT_EQ(s.host.progressCaptions, (std::vector<std::string>{"Applying Filters", "Compression", "Progress"}));
  EXPECT_FALSE(s.host.progressShown);
  EXPECT_EQ(s.host.trayFrames.back(), 1);
  EXPECT_TRUE(NoTemporaryFiles()) << "the filtered copy has no name";
  EXPECT_EQ(DocumentBytes(), zuntest::AsBytes(content));
  s.host.progressCaptions.clear();
  Run(Task(zun::TaskAction::PcToPalm, {{zun::kOptRaw, true}}));
  EXPECT_EQ(s.host.progressCaptions, (std::vector<std::string>{"Compression", "Progress"}));
}

}  // namespace
