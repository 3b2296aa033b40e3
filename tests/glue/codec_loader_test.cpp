// libzun2 is found by name beside the executable, never in the current folder.
#include "glue/codec_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "glue/paths.h"
#include "support/test_support.h"

namespace {

TEST(CodecLoader, FindsTheLibraryBesideTheExecutableOrNotAtAll) {
  zuntest::TempDir empty;
  EXPECT_FALSE(zun::LoadDocCodec({empty.Path()}).has_value());
  const std::vector<std::string> folders = zun::CodecSearchFolders();
  ASSERT_GE(folders.size(), 2u);
  EXPECT_EQ(std::count(folders.begin(), folders.end(), zun::CurrentDirectoryWithSeparator()), 0);
  const std::string zundocFolder = std::filesystem::path(ZUNDOC_PATH).parent_path().string() + "/";
  const auto codec = zun::LoadDocCodec({empty.Path(), zundocFolder});
  ASSERT_TRUE(codec.has_value());
  const uint8_t text[] = "aaaaaaaaaaaaaaaaaaaa";
  uint8_t packed[600];
  const int32_t n = codec->Compress(packed, text, 20);
  EXPECT_EQ(codec->GetUncompSize(packed, n), 20);
}

}  // namespace
