// zundata.dat: record layout, defaults, version check, add, delete and save-as-default.
#include "record/data_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/test_support.h"

using zuntest::Bytes;

namespace {

int16_t Int16At(const Bytes& b, size_t at) { return static_cast<int16_t>(b[at] | (b[at + 1] << 8)); }
double DoubleAt(const Bytes& b, size_t at) {
  uint64_t bits = 0;
  for (size_t i = 0; i < 8; ++i) bits |= uint64_t{b[at + i]} << (8 * i);
  return std::bit_cast<double>(bits);
}
std::string TextAt(const Bytes& b, size_t at, size_t n) { return {reinterpret_cast<const char*>(b.data() + at), n}; }
std::string Padded(const std::string& s, size_t n) { return s + std::string(n - s.size(), ' '); }

TEST(TaskRecord, LongTextsAreCutAtCharacterBoundaries) {
  zun::TaskRecord r;
  r.PcFile = std::string(600, 'p');
  EXPECT_EQ(r.PcFile.str(), std::string(512, 'p'));
  r.Status = std::string(63, 's') + "\xC3\xA9";  // the two-byte é would straddle byte 64
  EXPECT_EQ(r.Status.str(), std::string(63, 's') + " ");
  r.Status = std::string(62, 's') + "\xC3\xA9";
  EXPECT_EQ(r.Status.Trimmed(), std::string(62, 's') + "\xC3\xA9");
  r.Status = std::string(62, 's') + "\xAB\xBB\xAB";  // Latin-1, not UTF-8: whole bytes
  EXPECT_EQ(r.Status.str(), std::string(62, 's') + "\xAB\xBB");
}

// Every field at its offset, little-endian, blank-padded: the settings record and the clipboard's
// as a new file holds them, and a task's stamps and counters.
TEST(DataFile, ANewFileHoldsTheTwoDefaultRecordsAndEachFieldSitsAtItsOffset) {
  zuntest::TempDir dir;
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  EXPECT_EQ(data.TaskCount(), 0);
  zuntest::ChangeRecord(data, zuntest::AddTask(data, zun::TaskAction::BothWays, "/home/a/notes.txt", "notes.pdb"),
                        [](zun::TaskRecord& r) {
                          r.PcDate = 45000.5;
                          r.PalmDate = -1.25;
                          r.Status = "OK";
                          r.Category = 15;
                          r.Counter = 999;
                        });
  const Bytes b = zuntest::ReadBytes(dir / "zundata.dat");
  ASSERT_EQ(b.size(), 3u * 1208);
  const size_t clip = 1208, task = 2416;
  // Record 1: Compress, TABs to Spaces and UTF-8 Text on, "Custom" checked; record 2; a task.
  const std::tuple<size_t, const char*, size_t> texts[] = {{0, "0010", 4},
                                                           {4, "", 512},
                                                           {524, "", 512},
                                                           {1046, "11    1", 32},
                                                           {1082, "1", 32},
                                                           {1114, "", 64},
                                                           {1188, "", 20},
                                                           {clip, "0", 4},
                                                           {clip + 524, "clipboard.pdb", 512},
                                                           {task + 4, "/home/a/notes.txt", 512},
                                                           {task + 524, "notes.pdb", 512},
                                                           {task + 1114, "OK", 64}};
  for (const auto& [at, text, size] : texts) EXPECT_EQ(TextAt(b, at, size), Padded(text, size)) << at;
  const std::pair<size_t, int16_t> integers[] = {
      {1044, 1},        {1078, 0},        {1080, 4},         {1178, 1},         {1180, 1},
      {1182, -1},       {1184, -1},       {1186, 0},         {clip + 1044, 3},  {clip + 1182, 0},
      {clip + 1184, 0}, {task + 1044, 4}, {task + 1078, 15}, {task + 1186, 999}};
  for (const auto& [at, value] : integers) EXPECT_EQ(Int16At(b, at), value) << at;
  EXPECT_EQ(std::pair(DoubleAt(b, task + 516), DoubleAt(b, task + 1036)), std::pair(45000.5, -1.25));
  // The clipboard's record is the settings record but for those fields.
  zun::TaskRecord expected = data.Read(1);
  expected.Version = "0";
  expected.PalmFile = "clipboard.pdb";
  expected.Action = zun::TaskAction::PcToPalm;
  expected.Flag1 = expected.Flag2 = 0;
  EXPECT_EQ(data.Read(2), expected);
}

// An empty file starts anew without a word or a backup; half a record counts to the even.
TEST(DataFile, AnEmptyFileStartsAnewQuietlyAndAHalfRecordRoundsToEven) {
  zuntest::TempDir dir;
  zun::DataFile(dir.Path()).OpenAndCheck();
  Bytes b = zuntest::ReadBytes(dir / "zundata.dat");
  b.insert(b.end(), b.begin(), b.end());  // four records
  for (const auto& [size, records] : {std::pair{0, 2}, {1208 * 2 + 604, 2}, {1208 * 3 + 604, 4}}) {
    zuntest::WriteBytes(dir / "zundata.dat", Bytes(b.begin(), b.begin() + size));  // empty; 2.5; 3.5
    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    EXPECT_EQ(data.RecordCount(), records);
    EXPECT_EQ(data.RepairNote(), "");
  }
  EXPECT_FALSE(zuntest::Exists(dir / "zundata.bak"));
}

// What cannot be a task list: another version's, more records than any, holes, a record of zero
// bytes. The file is kept as it was (renamed, or copied without its holes when links keep it in
// place) with its mode and owner, and the list starts anew.
TEST(DataFile, AFileThatCannotBeATaskListIsKeptWithItsModeAndOwnerAndStartsAnew) {
  struct Case {
    const char* why;
    int64_t size;     // grown to this, a hole behind the two records
    bool zeroRecord;  // a third record of zero bytes, written
    bool linked;      // a second name and a symbolic link: copied, emptied in place
    const char* version = "0010";
  };
  const bool root = ::geteuid() == 0;
  for (const Case& c :
       {Case{"is not a task list of this version", 0, false, false, "0009"},
        Case{"is damaged: it would hold 2730575233 tasks, far more than any task list", 3ll << 40, false, false},
        Case{"is damaged: it has holes", 100 << 20, false, true},
        Case{"is damaged: record 3 holds only zero bytes", 0, true, true}}) {
    SCOPED_TRACE(c.why);
    zuntest::TempDir dir, elsewhere;
    const std::string real = c.linked ? elsewhere / "data" : dir / "zundata.dat";
    { zun::DataFile(dir.Path()).OpenAndCheck(); }
    if (c.linked) {
      std::filesystem::rename(dir / "zundata.dat", real);
      std::filesystem::create_symlink(real, dir / "zundata.dat");
      std::filesystem::create_hard_link(real, elsewhere / "second");
    }
    Bytes held = zuntest::ReadBytes(real);
    if (c.zeroRecord) held.resize(size_t{3} * 1208);
    std::copy_n(c.version, 4, held.begin());
    zuntest::WriteBytes(real, held);
    if (c.size > 0) std::filesystem::resize_file(real, static_cast<uintmax_t>(c.size));
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    ASSERT_TRUE(!root || ::chown(real.c_str(), 65534, 65534) == 0);

    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    EXPECT_EQ(data.RepairNote(),
              std::string("zundata.dat ") + c.why + ". It is kept as zundata.bak, and the task list starts anew.");
    EXPECT_EQ(data.TaskCount(), 0);
    struct stat backup = {}, fresh = {};
    ASSERT_EQ(::lstat((dir / "zundata.bak").c_str(), &backup), 0);
    ASSERT_EQ(::stat((dir / "zundata.dat").c_str(), &fresh), 0);
    EXPECT_EQ(backup.st_size, c.size > 0 ? c.size : static_cast<int64_t>(held.size()));
    EXPECT_LT(backup.st_blocks, 1024) << "no hole written";
    for (const struct stat& kept : {backup, fresh}) {
      EXPECT_EQ(kept.st_mode, S_IFREG | 0600);
      EXPECT_TRUE(!root || std::pair(kept.st_uid, kept.st_gid) == std::pair(65534u, 65534u)) << kept.st_uid;
    }
    Bytes backedUp(held.size());
    std::ifstream(dir / "zundata.bak", std::ios::binary)
        .read(reinterpret_cast<char*>(backedUp.data()), static_cast<std::streamsize>(backedUp.size()));
    EXPECT_EQ(backedUp, held);
    if (c.linked) {
      EXPECT_TRUE(std::filesystem::is_symlink(dir / "zundata.dat"));
      EXPECT_EQ(zuntest::ReadBytes(elsewhere / "second").size(), 2416u) << "both names show the new file";
    }
  }
}

// A delete killed while it overwrote a data file with a second name (in place, so that both
// names show the new list): the next open finds the whole old list, never a mix of the two.
TEST(DataFile, ADeleteCutShortLeavesTheWholeListForTheNextOpen) {
  zuntest::TempDir dir;
  const std::string path = dir / "zundata.dat";
  { zun::DataFile(dir.Path()).OpenAndCheck(); }
  Bytes list = zuntest::ReadBytes(path);
  zun::TaskRecord task = zun::DefaultSettingsRecord();
  for (int i = 0; i < 20000; ++i) {
    task.PcFile = "task" + std::to_string(i);
    const auto bytes = zun::EncodeTaskRecord(task);
    list.insert(list.end(), bytes.begin(), bytes.end());
  }
  std::filesystem::create_hard_link(path, dir / "second name");
  bool cutShort = false;
  for (int attempt = 0; attempt < 8 && !cutShort; ++attempt) {
    zuntest::WriteBytes(path, list);  // in place: the second name stays
    const pid_t child = ::fork();
    if (child == 0) {
      zun::DataFile data(dir.Path());
      data.OpenAndCheck();
      data.DeleteTask(1);
      ::_exit(0);
    }
    char number = '0';  // of the first task's PcFile, until the delete overwrites it
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (number == '0' && ::waitpid(child, nullptr, WNOHANG) == 0) {
      if (::pread(fd, &number, 1, 2416 + 8) < 0) break;
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(fd);
    cutShort = zuntest::ReadBytes(path) != list && zuntest::ReadBytes(path).size() == list.size();
  }
  ASSERT_TRUE(cutShort) << "no kill came during the overwrite";
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  EXPECT_TRUE(zuntest::ReadBytes(dir / "second name") == list);
  EXPECT_EQ(data.Read(3).PcFile.Trimmed(), "task0");
}

// Adding, deleting, saving as the default. A delete writes the other records again: they stay as
// stored, also numbers out of the editor's ranges and any other bytes. The last delete leaves the two
// records of a new file.
TEST(DataFile, AddDeleteAndSaveDefault) {
  zuntest::TempDir dir;
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  zuntest::ChangeRecord(data, 1, [](zun::TaskRecord& r) {
    r.Reserved = "junk";
    r.PcDate = 3.0;
  });
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(data.AddTask(), i);
    // Stamps start at 0; the version is record 1's.
    EXPECT_EQ(std::pair(data.Read(i + 2).PcDate, data.Read(i + 2).Version.str()), std::pair(0.0, std::string("0010")));
    zuntest::ChangeRecord(data, i + 2, [i](zun::TaskRecord& r) { r.PcFile = "/texts/" + std::to_string(i) + ".txt"; });
  }
  zuntest::ChangeRecord(data, 2, [](zun::TaskRecord& r) {
    r.Category = 31;
    r.TabSpace = -5;
    r.Counter = 1000;
  });
  Bytes before = zuntest::ReadBytes(dir / "zundata.dat");
  const Bytes noise = zuntest::RandomBytes(1208, 5);
  std::copy(noise.begin(), noise.end(), before.end() - 1208);  // in place of task 3
  zuntest::WriteBytes(dir / "zundata.dat", before);
  data.DeleteTask(2);
  before.erase(before.begin() + 1208L * 3, before.begin() + 1208L * 4);
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat"), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "zundata.dat and .lock";

  zuntest::ChangeRecord(data, 4, [](zun::TaskRecord& t) {
    t.PcFile = "/texts/3.txt";
    t.PalmFile = "task.pdb";
    t.Action = zun::TaskAction::BothWays;
    t.Options = "0101";
    t.Category = 7;
    t.TabSpace = 8;
    t.Targets = "01";
    t.Counter = 55;
  });
  const zun::TaskRecord task = data.Read(4);
  zun::TaskRecord expected = data.Read(1);  // the other fields stay: "junk", the stamp, the counter
  data.SaveAsDefault(2);
  expected.PcFile = "/texts/";
  expected.PalmFile = "";  // a bare name has no folder
  expected.Action = task.Action;
  expected.Options = task.Options;
  expected.Category = task.Category;
  expected.TabSpace = task.TabSpace;
  expected.Targets = task.Targets;
  EXPECT_EQ(data.Read(1), expected);
  data.DeleteTask(1);
  data.DeleteTask(1);
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat").size(), 2416u);
}

}  // namespace
