// Replacing a file: links, hard links, permissions and owner kept; what may not be replaced is
// refused at once; an unfinished replacement leaves the old file and no trace.
#include "glue/replacement_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

void Replace(const std::string& target, const std::string& text) {
  zun::ReplacementFile file = zun::ReplacementFile::Begin(target);
  file.Content().Append({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  file.Commit();
}

size_t Entries(const std::string& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(ReplacementFile, KeepsLinksHardLinksPermissionsAndOwner) {
  zuntest::TempDir dir;
  fs::create_directory(dir / "real");
  zuntest::WriteText(dir / "real/notes.txt", "old");
  ::chmod((dir / "real/notes.txt").c_str(), 0640);
  fs::create_symlink("real/notes.txt", dir / "hop");
  fs::create_symlink("hop", dir / "link");  // a relative link to a link
  struct stat info {};
  ASSERT_EQ(::stat((dir / "real/notes.txt").c_str(), &info), 0);
  const ino_t oldFile = info.st_ino;
  Replace(dir / "link", "new");
  EXPECT_TRUE(fs::is_symlink(dir / "link") && fs::is_symlink(dir / "hop"));
  EXPECT_EQ(zuntest::ReadText(dir / "real/notes.txt"), "new");
  ASSERT_EQ(::stat((dir / "real/notes.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_NE(info.st_ino, oldFile) << "a new file renamed over the old, never the old one rewritten";

  fs::create_hard_link(dir / "real/notes.txt", dir / "second.txt");
  Replace(dir / "real/notes.txt", "shared and longer");
  EXPECT_EQ(zuntest::ReadText(dir / "second.txt"), "shared and longer");
  Replace(dir / "second.txt", "short");
  EXPECT_EQ(zuntest::ReadText(dir / "real/notes.txt"), "short");
  EXPECT_EQ(fs::hard_link_count(dir / "second.txt"), 2u);

  if (::geteuid() == 0) {  // only root can hand a file to another user
    ASSERT_EQ(::chown((dir / "second.txt").c_str(), 65534, 65534), 0);
    fs::remove(dir / "real/notes.txt");
    Replace(dir / "second.txt", "owned by nobody");
    ASSERT_EQ(::stat((dir / "second.txt").c_str(), &info), 0);
    EXPECT_EQ(std::pair(info.st_uid, info.st_gid), std::pair(65534u, 65534u));
  }

  const std::string longName = dir / std::string(255, 'n');  // as long as a name may be
  zuntest::WriteText(longName, "old");
  Replace(longName, "new");
  EXPECT_EQ(zuntest::ReadText(longName), "new");
  EXPECT_EQ(Entries(dir.Path()), 5u) << "no temporary file left";
}

TEST(ReplacementFile, RefusesWhatItMustNotReplaceAndLeavesNoTrace) {
  zuntest::TempDir dir;
  fs::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  zuntest::WriteText(dir / "readonly.txt", "keep");
  ::chmod((dir / "readonly.txt").c_str(), 0444);  // read-only for root too
  const std::string null = zuntest::MakeNullDevice(dir);  // as root only
  for (const std::string& target : {dir / "folder", dir / "fifo", null, dir / "readonly.txt"}) {
    if (target.empty()) continue;
    SCOPED_TRACE(target);
    EXPECT_FALSE(zun::MayReplace(target));
    EXPECT_THROW(Replace(target, "new"), zun::FileError);
  }
  if (!null.empty()) {
    EXPECT_TRUE(fs::is_character_file(null));
    fs::remove(null);
  }
  EXPECT_THROW(Replace(dir / "nofolder/x.txt", "new"), zun::FileError);
  EXPECT_EQ(zuntest::ReadText(dir / "readonly.txt"), "keep");

  zuntest::WriteText(dir / "notes.txt", "old");
  {
    zun::ReplacementFile abandoned = zun::ReplacementFile::Begin(dir / "notes.txt");
    abandoned.Content().Append({reinterpret_cast<const uint8_t*>("half"), 4});
  }
  const pid_t child = ::fork();
  if (child == 0) {  // killed halfway through a replacement
    zun::ReplacementFile killed = zun::ReplacementFile::Begin(dir / "notes.txt");
    killed.Content().Append({reinterpret_cast<const uint8_t*>("half"), 4});
    killed.Content().Sync();
    ::kill(::getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(zuntest::ReadText(dir / "notes.txt"), "old");
  EXPECT_EQ(Entries(dir.Path()), 4u) << "folder, fifo, readonly.txt, notes.txt";
}

}  // namespace
