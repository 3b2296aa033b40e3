// Faults from outside, through the conversions as zundoc runs them: files and folders that cannot
// be written, a full disk, one file on both sides, FIFOs and devices where files are expected,
// files that claim more than they hold, a second program on the same data folder, a planted
// library. Each ends with an error status and leaves the old PC file, the old document and
// zundata.dat as they were. How a file is replaced (links, hard links, owners, read-only files) is
// tested with the replacement file itself.
//
// Permission cases run zundoc as the unprivileged user "nobody" when the tests run as root
// (root may write anywhere); a full disk is a file-size limit, which binds root too.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "convert/status_texts.h"
#include "pdb/pdb_file.h"
#include "record/data_file.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;
#ifdef ZUN2_ADDRESS_SANITIZER
constexpr rlim_t kMemoryLimit = RLIM_INFINITY;
#else
constexpr rlim_t kMemoryLimit = 256u << 20;
#endif

using zuntest::Outcome;

std::string Limit(rlim_t limit, rlim_t unit) {
  return limit == RLIM_INFINITY ? "unlimited" : std::to_string(limit / unit);
}

class Faults : public ::testing::Test {
 protected:
  zuntest::TempDir tools;  // zundoc and its library, where any user may run them
  zuntest::TempDir dir;

  void SetUp() override {
    const fs::path zundoc(ZUNDOC_PATH);
    fs::copy_file(zundoc, tools / "zundoc");
    fs::copy_file(zundoc.parent_path() / "libzun2.so", tools / "libzun2.so");
    for (const char* name : {"zundoc", "libzun2.so"}) fs::permissions(tools / name, fs::perms(0755));
  }
  void TearDown() override {
    // Give everything back to the owner so the folder can be removed.
    std::error_code ignored;
    for (auto& entry : fs::recursive_directory_iterator(dir.Path(), ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }

  // Runs zundoc in `dir`; as "nobody" when asked and running as root; within the limits. A write
  // past the size limit then fails with EFBIG instead of ending the program.
  Outcome Zundoc(const std::string& args, bool unprivileged = false, rlim_t fileSize = RLIM_INFINITY,
                 rlim_t addressSpace = RLIM_INFINITY) {
    const std::string user =
        unprivileged && ::geteuid() == 0
            ? "setpriv --reuid=" + std::to_string(kNobody) + " --regid=" + std::to_string(kNobody) + " --clear-groups "
            : "";
    return zuntest::RunShell("cd '" + dir.Path() + "' && TMPDIR='" + tools.Path() + "' JPILOT_HOME='" + tools / "none" +
                                 "' " + user + "sh -c 'trap \"\" XFSZ; ulimit -f " + Limit(fileSize, 512) +
                                 "; ulimit -v " + Limit(addressSpace, 1024) + "; exec \"$0\" \"$@\"' '" +
                                 tools / "zundoc' " + args,
                             tools.Path());
  }

  std::string MakeDocument(const std::string& name, const std::string& text) {
    zuntest::WriteText(dir / "source.txt", text);
    EXPECT_EQ(Zundoc("encode --raw source.txt " + name).out, "OK\n");
    fs::remove(dir / "source.txt");
    return zuntest::ReadText(dir / name);
  }
  // Temporary files left beside the targets.
  bool Leftovers(const std::string& folder) {
    for (auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().filename().string().find(".zun2-") != std::string::npos) return true;
    }
    return false;
  }
};

const std::string kCouldNotOpen = std::string(zun::status::kCouldNotOpen) + "\n";

TEST_F(Faults, FilesAndFoldersThatCannotBeWrittenKeepWhatTheyHold) {
  MakeDocument("doc.pdb", "new text from the handheld");
  fs::create_directory(dir / "ro");
  const std::string oldDocument = MakeDocument("ro/doc.pdb", "old document text");
  zuntest::WriteText(dir / "ro/locked.txt", "old text");
  zuntest::WriteText(dir / "new.txt", "new text");
  fs::permissions(dir / "ro", fs::perms(0555));
  EXPECT_EQ(Zundoc("decode doc.pdb ro/locked.txt", true), (Outcome{1, kCouldNotOpen, ""}));
  EXPECT_EQ(zuntest::ReadText(dir / "ro/locked.txt"), "old text");
  EXPECT_EQ(Zundoc("encode new.txt ro/doc.pdb", true).out, kCouldNotOpen);
  EXPECT_EQ(zuntest::ReadText(dir / "ro/doc.pdb"), oldDocument);
  EXPECT_FALSE(Leftovers(dir.Path()) || Leftovers(dir / "ro"));
}

TEST_F(Faults, AFullDiskKeepsTheOldFilesAndTheDataFile) {
  const std::string big = zuntest::ProseText(300000, 4);
  const std::string oldDocument = MakeDocument("doc.pdb", big);
  zuntest::WriteText(dir / "text.txt", "old text");
  Outcome r = Zundoc("decode doc.pdb text.txt", false, 100000);
  EXPECT_TRUE(r.exit == 1 && r.out.starts_with("Error")) << r.out;
  EXPECT_EQ(zuntest::ReadText(dir / "text.txt"), "old text");

  zuntest::WriteText(dir / "big.txt", big);
  r = Zundoc("encode --no-compress big.txt doc.pdb", false, 100000);
  EXPECT_TRUE(r.out.starts_with("Error")) << r.out;
  EXPECT_EQ(zuntest::ReadText(dir / "doc.pdb"), oldDocument);
  EXPECT_FALSE(Leftovers(dir.Path()));

  {  // two tasks that decode the big document
    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    for (int i = 0; i < 2; ++i) zuntest::AddTask(data, zun::TaskAction::PalmToPc, dir / "text.txt", dir / "doc.pdb");
    zuntest::ChangeRecord(data, zun::kSettingsRecord,
                          [](zun::TaskRecord& settings) { settings.SetAskOverwrite(false); });
  }
  EXPECT_EQ(Zundoc("run", false, 100000).exit, 1);
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat").size(), 4u * 1208);
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  EXPECT_TRUE(data.Read(3).Status.Trimmed().starts_with("Error"));
  EXPECT_EQ(data.Read(3).PcFile.Trimmed(), dir / "text.txt");
  EXPECT_EQ(zuntest::ReadText(dir / "text.txt"), "old text");
}

TEST_F(Faults, TheSameFileOnBothSidesAndSpecialFilesAreRefusedWithoutWaiting) {
  MakeDocument("doc.pdb", "new text");
  zuntest::WriteText(dir / "text.txt", "old text");
  fs::create_hard_link(dir / "text.txt", dir / "hard.txt");
  fs::create_symlink("doc.pdb", dir / "linked.pdb");
  EXPECT_EQ(Zundoc("encode hard.txt text.txt").out, kCouldNotOpen);
  EXPECT_EQ(Zundoc("decode linked.pdb doc.pdb").exit, 1);

  // A FIFO passes the existence check and then cannot be read; devices are no files either.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  for (const char* args :
       {"encode fifo doc.pdb", "decode fifo text.txt", "decode doc.pdb fifo", "decode doc.pdb /dev/null"}) {
    EXPECT_EQ(Zundoc(args).out, kCouldNotOpen) << args;
  }
  EXPECT_EQ(Zundoc("info fifo").exit, 1);
  EXPECT_EQ(zuntest::ReadText(dir / "text.txt"), "old text");
  EXPECT_EQ(zuntest::DecodedText(dir / "doc.pdb"), "new text");
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
  EXPECT_FALSE(Leftovers(dir.Path()));
}

TEST_F(Faults, ClaimsBeyondTheFileAreRefusedWithinBoundedMemory) {
  // Record 1 claims the rest of a 2 GB file that holds nothing: reading it would take 2 GB.
  zuntest::WriteBytes(dir / "huge.pdb", zuntest::MakeDatabase({zun::MakeDocInfo(5, 1, false), {'a'}}));
  fs::resize_file(dir / "huge.pdb", 2ull << 30);
  // And a record list that promises far more entries than the file holds.
  zuntest::Bytes promise = zuntest::MakeDatabase({zun::MakeDocInfo(5, 1, false), {'a'}});
  promise[76] = 0xFF;
  promise[77] = 0xFF;
  zuntest::WriteBytes(dir / "promise.pdb", promise);
  for (const std::string document : {"huge.pdb", "promise.pdb"}) {
    const Outcome r = Zundoc("decode " + document + " out.txt", false, RLIM_INFINITY, kMemoryLimit);
    EXPECT_TRUE(r.exit == 1 && r.out.starts_with("Error")) << document << r.out << r.err;
    EXPECT_FALSE(zuntest::Exists(dir / "out.txt"));
  }
}

TEST_F(Faults, OneProgramAtATimeUsesADataFolder) {
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();  // as a window would
  Outcome r = Zundoc("run", false);
  EXPECT_EQ(r.exit, 3);
  EXPECT_NE(r.err.find("is using " + dir.Path()), std::string::npos) << r.err;
  std::thread closing([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    data.Close();
  });
  r = Zundoc("run --wait", false);
  closing.join();
  EXPECT_EQ(r.exit, 0) << r.err;
}

TEST_F(Faults, ALibraryInTheCurrentOrDataFolderIsNeverLoaded) {
  fs::copy_file(PLANTED_LIBRARY, dir / "libzun2.so");
  const std::string mark = tools / "loaded";
  zuntest::ScopedEnv env("ZUN2_PLANTED_MARK", mark);
  MakeDocument("doc.pdb", "text");
  EXPECT_EQ(Zundoc("info doc.pdb").exit, 0);
  EXPECT_EQ(Zundoc("run --dir " + dir.Path()).exit, 0);
  EXPECT_FALSE(zuntest::Exists(mark));
}

}  // namespace
