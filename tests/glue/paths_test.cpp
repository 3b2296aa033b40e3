// Path helpers and FileExists.
#include "glue/paths.h"

#include <gtest/gtest.h>

#include "glue/file_system.h"
#include "support/test_support.h"

namespace {

TEST(Paths, SplitAtTheLastSeparatorAndDot) {
  EXPECT_EQ(zun::PathFileName("/a/b/notes.txt"), "notes.txt");
  EXPECT_EQ(zun::PathFileName("notes.txt"), "notes.txt");
  EXPECT_EQ(zun::PathFileName("/a/b/"), "");
  EXPECT_EQ(zun::PathDirectory("/a/b/notes.txt"), "/a/b/");
  EXPECT_EQ(zun::PathDirectory("notes.txt"), "");
  EXPECT_EQ(zun::PathWithoutExtension("my.notes.txt"), "my.notes");
  EXPECT_EQ(zun::PathWithoutExtension("/a.d/notes"), "/a") << "a dot in a folder counts too";
  EXPECT_EQ(zun::PathWithoutExtension("notes"), "notes");
  EXPECT_EQ(zun::PathExtension("notes.pdb"), ".pdb");
  EXPECT_EQ(zun::PathExtension("notes"), "");
  EXPECT_EQ(zun::TrimTrailingBlanks("a b  "), "a b");
  EXPECT_EQ(zun::CutAtCharacterBoundary("a\xC3\xA9", 2), "a");
  EXPECT_EQ(zun::CutAtCharacterBoundary("a\xE2\x82\xAC"
                                        "b",
                                        4),
            "a\xE2\x82\xAC");
}

TEST(FileExists, ThreeResults) {
  zuntest::TempDir dir;
  zuntest::WriteText(dir / "here.txt", "x");
  EXPECT_EQ(zun::FileExists(dir / "here.txt"), zun::FileState::Exists);
  EXPECT_EQ(zun::FileExists(dir / "gone.txt"), zun::FileState::NotFound);
  EXPECT_EQ(zun::FileExists(dir / "nodir/gone.txt"), zun::FileState::NotFound);
  EXPECT_EQ(zun::FileExists(dir / "here.txt/below"), zun::FileState::NotFound) << "a file as a folder";
  EXPECT_EQ(zun::FileExists(dir / (std::string(5000, 'n'))), zun::FileState::Unreadable) << "name too long";
}

}  // namespace
