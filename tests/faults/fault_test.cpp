// Faults from outside, through the conversions as zundoc runs them: files and folders that cannot
// be written, a full disk, a disk that loses what was flushed, one file on both sides, FIFOs and
// devices where files are expected, files that claim more than they hold, a signal part-way, a
// second program on the same data folder, a planted library. Each ends with an error status (and
// says which file and why) or by the signal, and leaves the old PC file, the old document and
// zundata.dat as they were. How a file is replaced (links, hard links, owners, read-only files) is
// tested with the replacement file itself.
//
// Permission cases run zundoc as the unprivileged user "nobody" when the tests run as root
// (root may write anywhere); a full disk is a file-size limit, which binds root too.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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
  std::string environment;  // variables for zundoc: "NAME=value ..."

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
                                 "' HOME='" + tools / "home" + "' " + environment + " " + user +
                                 "sh -c 'trap \"\" XFSZ; ulimit -f " + Limit(fileSize, 512) + "; ulimit -v " +
                                 Limit(addressSpace, 1024) + "; exec \"$0\" \"$@\"' '" + tools / "zundoc' " + args,
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
    return std::ranges::any_of(fs::directory_iterator(folder), [](const fs::directory_entry& entry) {
      return entry.path().filename().string().find(".zun2-") != std::string::npos;
    });
  }
  // Preloads the library that makes file system calls fail or a signal arrive, as `faults` say.
  void Preload(const std::string& faults) {
    environment = "LD_PRELOAD='" IO_FAULTS "' ASAN_OPTIONS=verify_asan_link_order=0 " + faults;
  }
};

const std::string kCouldNotOpen = std::string(zun::status::kCouldNotOpen) + "\n";

// A target in a folder that cannot be written (run as "nobody"), and a disk that reports a flush
// failed (the new file may be lost): the old file stays, and it is said.
TEST_F(Faults, AWriteThatFailsKeepsTheOldFileAndSaysWhy) {
  MakeDocument("doc.pdb", "new text from the handheld");
  fs::create_directory(dir / "ro");
  const std::string oldDocument = MakeDocument("ro/doc.pdb", "old document text");
  zuntest::WriteText(dir / "ro/locked.txt", "old text");
  zuntest::WriteText(dir / "new.txt", "new text");
  fs::permissions(dir / "ro", fs::perms(0555));
  for (const auto& [args, flushFails, reason] :
       {std::tuple{"decode doc.pdb ro/locked.txt", false, "ro/locked.txt: Permission denied"},
        {"encode new.txt ro/doc.pdb", false, "ro/doc.pdb: Permission denied"},
        {"encode --name Named new.txt ro/doc.pdb", false, "ro/doc.pdb: Permission denied"},
        {"encode new.txt doc.pdb", true, "doc.pdb: Input/output error"},
        {"decode doc.pdb new.txt", true, "new.txt: Input/output error"}}) {
    if (flushFails) Preload("ZUN2_FAULT_SYNC=1");
    EXPECT_EQ(Zundoc(args, !flushFails), (Outcome{1, kCouldNotOpen, "zundoc: " + std::string(reason) + "\n"})) << args;
  }
  EXPECT_EQ(zuntest::ReadText(dir / "ro/locked.txt"), "old text");
  EXPECT_EQ(zuntest::ReadText(dir / "ro/doc.pdb"), oldDocument);
  EXPECT_EQ(zuntest::DecodedText(dir / "doc.pdb"), "new text from the handheld");
  EXPECT_EQ(zuntest::ReadText(dir / "new.txt"), "new text");
  EXPECT_FALSE(Leftovers(dir.Path()) || Leftovers(dir / "ro"));
}

TEST_F(Faults, AFullDiskKeepsTheOldFilesAndTheDataFile) {
  const std::string big = zuntest::ProseText(300000, 4);
  const std::string oldDocument = MakeDocument("doc.pdb", big);
  zuntest::WriteText(dir / "text.txt", "old text");
  Outcome r = Zundoc("decode doc.pdb text.txt", false, 100000);
  EXPECT_EQ(r, (Outcome{1, kCouldNotOpen, "zundoc: text.txt: File too large\n"}));
  EXPECT_EQ(zuntest::ReadText(dir / "text.txt"), "old text");

  zuntest::WriteText(dir / "big.txt", big);
  r = Zundoc("encode --no-compress big.txt doc.pdb", false, 100000);
  EXPECT_EQ(r, (Outcome{1, kCouldNotOpen, "zundoc: .: File too large\n"})) << "the folder of the temporary files";
  EXPECT_EQ(zuntest::ReadText(dir / "doc.pdb"), oldDocument);
  EXPECT_FALSE(Leftovers(dir.Path()));
  // Decoding to standard output streams the text: no file grows, so no limit binds.
  r = Zundoc("decode doc.pdb - 2>status.txt | cat", false, 100000);
  EXPECT_EQ(r.out, big);
  EXPECT_EQ(zuntest::ReadText(dir / "status.txt"), "OK\n");

  zuntest::ChangeData(dir.Path(), [&](zun::DataFile& data) {  // two tasks that decode the big document
    for (int i = 0; i < 2; ++i) zuntest::AddTask(data, zun::TaskAction::PalmToPc, dir / "text.txt", dir / "doc.pdb");
    zuntest::ChangeRecord(data, zun::kSettingsRecord,
                          [](zun::TaskRecord& settings) { settings.SetAskOverwrite(false); });
  });
  EXPECT_EQ(Zundoc("run --dir .", false, 100000).exit, 1);
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
  std::vector<std::string> cases = {"encode fifo doc.pdb", "decode fifo text.txt", "decode doc.pdb fifo"};
  const std::string null = zuntest::MakeNullDevice(dir);  // as root only
  if (!null.empty()) cases.push_back("decode doc.pdb " + null);
  for (const std::string& args : cases) {
    const Outcome r = Zundoc(args);
    EXPECT_EQ(r.out, kCouldNotOpen) << args;
    EXPECT_TRUE(r.err.ends_with(": not a regular file\n")) << args << r.err;
  }
  EXPECT_TRUE(null.empty() || fs::is_character_file(null));
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
  // And two record lists that name each other at the end of a 1 GB file.
  zuntest::WriteLoopingLists(dir / "loop.pdb", 1u << 30);
  for (const auto& [document, status] : {std::pair{"huge.pdb", zun::status::kCorrupt},
                                         {"promise.pdb", zun::status::kBadHeader},
                                         {"loop.pdb", zun::status::kBadHeader}}) {
    const Outcome r = Zundoc(std::string("decode ") + document + " out.txt", false, RLIM_INFINITY, kMemoryLimit);
    EXPECT_EQ(std::pair(r.exit, r.out), std::pair(1, std::string(status) + "\n")) << document << r.err;
    EXPECT_FALSE(zuntest::Exists(dir / "out.txt"));
  }
}

// Ctrl-C, SIGTERM or SIGHUP part-way: encode and decode stop and replace nothing (the target may
// have been named by mistake); a run finishes and stores the task in hand, as the window's Stop
// does. Either ends by the signal (the shell shows 128 + its number).
TEST_F(Faults, ASignalPartWayReplacesNothingButARunFinishesItsTask) {
  const std::string big = zuntest::ProseText(1 << 20, 5);
  const std::string oldDocument = MakeDocument("doc.pdb", big);
  zuntest::WriteText(dir / "big.txt", big + " and more");
  zuntest::WriteText(dir / "text.txt", "old text");
  for (const auto& [signal, unnamed] : {std::pair{SIGINT, "0"}, {SIGTERM, "1"}, {SIGHUP, "0"}}) {
    SCOPED_TRACE(signal);
    Preload("ZUN2_FAULT_SIGNAL=" + std::to_string(signal) + " ZUN2_NO_TMPFILE=" + unnamed);
    for (const char* args : {"encode big.txt doc.pdb", "decode doc.pdb text.txt", "encode - doc.pdb < big.txt"}) {
      const Outcome r = Zundoc(args);
      EXPECT_EQ(r.exit, 128 + signal) << args;
      EXPECT_EQ(r.out, "") << "no status: " << args;
    }
    EXPECT_EQ(zuntest::ReadText(dir / "doc.pdb"), oldDocument);
    EXPECT_EQ(zuntest::ReadText(dir / "text.txt"), "old text");
    EXPECT_FALSE(Leftovers(dir.Path()));
  }
  zuntest::ChangeData(dir.Path(), [&](zun::DataFile& data) {
    zuntest::AddTask(data, zun::TaskAction::PalmToPc, dir / "text.txt", dir / "doc.pdb");
    zuntest::AddTask(data, zun::TaskAction::PcToPalm, dir / "big.txt", dir / "second.pdb");
    zuntest::ChangeRecord(data, zun::kSettingsRecord,
                          [](zun::TaskRecord& settings) { settings.SetAskOverwrite(false); });
  });
  const Outcome r = Zundoc("run --dir .");
  EXPECT_EQ(r.exit, 128 + SIGHUP);
  EXPECT_TRUE(r.out.starts_with("1\t") && r.out.ends_with("\t OK\tOK\n")) << r.out;
  EXPECT_EQ(zuntest::ReadText(dir / "text.txt"), big) << "the task in hand was finished";
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  EXPECT_EQ(data.Read(3).Status.Trimmed(), "OK");
  EXPECT_EQ(data.Read(4).Status.Trimmed(), "");
  EXPECT_FALSE(zuntest::Exists(dir / "second.pdb")) << "the run ended after it";
}

TEST_F(Faults, ADataFileOfHolesStartsAnewWithinBoundedMemoryAndSaysSo) {
  { zun::DataFile(dir.Path()).OpenAndCheck(); }
  fs::resize_file(dir / "zundata.dat", 100ull << 30);  // 88 million records of nothing
  const Outcome r = Zundoc("run --dir .", false, RLIM_INFINITY, kMemoryLimit);
  EXPECT_EQ(r, (Outcome{1, "",
                        "zundoc: Error: zundata.dat is damaged: it would hold 88885911 tasks, far more than any task "
                        "list. It is kept as zundata.bak, and the task list starts anew.\n"}));
  EXPECT_EQ(fs::file_size(dir / "zundata.dat"), 2416u);
  EXPECT_EQ(fs::file_size(dir / "zundata.bak"), 100ull << 30);
  EXPECT_EQ(Zundoc("run --dir ."), (Outcome{0, "", ""}));
}

TEST_F(Faults, OneProgramAtATimeUsesADataFolder) {
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();  // as a window would
  Outcome r = Zundoc("run --dir .", false);
  EXPECT_EQ(r.exit, 3);
  EXPECT_NE(r.err.find("is using " + dir.Path()), std::string::npos) << r.err;
  std::thread closing([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    data.Close();
  });
  r = Zundoc("run --dir . --wait", false);
  closing.join();
  EXPECT_EQ(r.exit, 0) << r.err;

  // A lock file that is someone else's, or read-only, locks all the same: it is only read.
  ASSERT_EQ(::chmod((dir / "zundata.lock").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((dir / "zundata.dat").c_str(), 0666), 0);
  EXPECT_EQ(Zundoc("run --dir .", true), (Outcome{0, "", ""}));

  // A lock taken on a file that was replaced meanwhile holds nothing: the waiting run locks the
  // new one, which another program holds by then.
  data.OpenAndCheck();
  std::atomic<bool> otherClosed = false;
  std::thread waiting([&] {
    r = Zundoc("run --dir . --wait", false);
    EXPECT_TRUE(otherClosed) << "ran while the other program held the folder";
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  fs::remove(dir / "zundata.lock");
  zun::DataFile other(dir.Path());
  other.OpenAndCheck();
  data.Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  otherClosed = true;
  other.Close();
  waiting.join();
  EXPECT_EQ(r.exit, 0) << r.err;

  // A folder whose zundata.dat leads to this one's shares its lock.
  zuntest::TempDir linked;
  fs::create_symlink(dir / "zundata.dat", linked / "zundata.dat");
  data.OpenAndCheck();
  EXPECT_EQ(Zundoc("run --dir " + linked.Path(), false).exit, 3);
  data.Close();
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
