// zundata.dat: record layout, defaults, version check, add, delete and save-as-default.
#include "record/data_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
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
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}
std::string TextAt(const Bytes& b, size_t at, size_t n) {
  return std::string(reinterpret_cast<const char*>(b.data() + at), n);
}
std::string Padded(const std::string& s, size_t n) { return s + std::string(n - s.size(), ' '); }

TEST(TaskRecord, FieldsSitAtTheirOffsets) {
  zun::TaskRecord r;
  r.Version = "0010";
  r.PcFile = "/home/a/notes.txt";
  r.PcDate = 45000.5;
  r.PalmFile = "notes.pdb";
  r.PalmDate = -1.25;
  r.Action = zun::TaskAction::BothWays;
  r.Options = "101";
  r.Category = 15;
  r.TabSpace = 64;
  r.Targets = "01";
  r.Status = "OK";
  r.PcFilterIndex = 2;
  r.PalmFilterIndex = 3;
  r.Flag1 = -1;
  r.Flag2 = 0;
  r.Counter = 999;
  r.Reserved = "";
  const auto encoded = zun::EncodeTaskRecord(r);
  const Bytes b(encoded.begin(), encoded.end());
  ASSERT_EQ(b.size(), 1208u);
  const std::pair<size_t, std::string> texts[] = {{0, "0010"},
                                                  {4, Padded("/home/a/notes.txt", 512)},
                                                  {524, Padded("notes.pdb", 512)},
                                                  {1046, Padded("101", 32)},
                                                  {1082, Padded("01", 32)},
                                                  {1114, Padded("OK", 64)},
                                                  {1188, std::string(20, ' ')}};
  for (const auto& [at, text] : texts) EXPECT_EQ(TextAt(b, at, text.size()), text) << at;
  const std::pair<size_t, int16_t> integers[] = {{1044, 4}, {1078, 15}, {1080, 64}, {1178, 2},
                                                 {1180, 3}, {1182, -1}, {1184, 0},  {1186, 999}};
  for (const auto& [at, value] : integers) EXPECT_EQ(Int16At(b, at), value) << at;
  EXPECT_EQ(DoubleAt(b, 516), 45000.5);
  EXPECT_EQ(DoubleAt(b, 1036), -1.25);
  EXPECT_EQ(zun::DecodeTaskRecord(encoded), r);
}

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

TEST(DataFile, NewFileHoldsTheTwoDefaultRecords) {
  zuntest::TempDir dir;
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  ASSERT_EQ(zuntest::ReadBytes(dir / "zundata.dat").size(), 2416u);
  EXPECT_EQ(data.TaskCount(), 0);
  zun::TaskRecord settings;
  settings.Version = "0010";
  settings.Action = zun::TaskAction::NoConversion;
  settings.Options = "11    1";  // Compress, TABs to Spaces, UTF-8 Text
  settings.TabSpace = 4;
  settings.Targets = "1";
  settings.PcFilterIndex = settings.PalmFilterIndex = 1;
  settings.Flag1 = settings.Flag2 = -1;
  EXPECT_EQ(data.Read(1), settings);
  zun::TaskRecord clip = settings;
  clip.Version = "0";
  clip.PalmFile = "clipboard.pdb";
  clip.Action = zun::TaskAction::PcToPalm;
  clip.Flag1 = clip.Flag2 = 0;
  EXPECT_EQ(data.Read(2), clip);
}

TEST(DataFile, StartsAnewKeepingTheOldFileAndCountsRecordsRounded) {
  zuntest::TempDir dir;
  const std::string older = std::string("0009") + std::string(1208 * 3 - 4, 'x');
  for (const std::string& content : {std::string(), older}) {
    zuntest::WriteText(dir / "zundata.dat", content);
    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat").size(), 2416u);
    EXPECT_EQ(data.RepairNote(), content.empty() ? ""
                                                 : "zundata.dat is not a task list of this version. It is kept as "
                                                   "zundata.bak, and the task list starts anew.");
  }
  EXPECT_EQ(zuntest::ReadText(dir / "zundata.bak"), older) << "an empty file leaves no backup";

  Bytes b = zuntest::ReadBytes(dir / "zundata.dat");
  b.insert(b.end(), b.begin(), b.end());  // four records
  for (const auto& [size, records] : {std::pair{1208 * 2 + 604, 2}, std::pair{1208 * 3 + 604, 4}}) {
    zuntest::WriteBytes(dir / "zundata.dat", Bytes(b.begin(), b.begin() + size));  // 2.5, 3.5: halves to even
    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    EXPECT_EQ(data.RecordCount(), records);
    EXPECT_EQ(data.RepairNote(), "");
  }
}

// What cannot be a task list: more records than any, holes, a record of zero bytes. The file is
// kept as it was (renamed, or copied without its holes when links keep it in place) with its
// mode and owner, and the list starts anew.
TEST(DataFile, AFileThatCannotBeATaskListIsKeptWithItsModeAndOwnerAndStartsAnew) {
  struct Case {
    const char* why;
    int64_t size;     // grown to this, a hole behind the two records
    bool zeroRecord;  // a third record of zero bytes, written
    bool linked;      // a second name and a symbolic link: copied, emptied in place
  };
  const bool root = ::geteuid() == 0;
  for (const Case& c :
       {Case{"is damaged: it would hold 2730575233 tasks, far more than any task list", 3ll << 40, false, false},
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
    zuntest::WriteBytes(real, held);
    if (c.size > 0) std::filesystem::resize_file(real, static_cast<uintmax_t>(c.size));
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    if (root) {
      ASSERT_EQ(::chown(real.c_str(), 65534, 65534), 0);
    }

    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    EXPECT_EQ(data.RepairNote(),
              std::string("zundata.dat ") + c.why + ". It is kept as zundata.bak, and the task list starts anew.");
    EXPECT_EQ(data.TaskCount(), 0);
    struct stat backup {
    }, fresh{};
    ASSERT_EQ(::lstat((dir / "zundata.bak").c_str(), &backup), 0);
    ASSERT_EQ(::stat((dir / "zundata.dat").c_str(), &fresh), 0);
    EXPECT_EQ(backup.st_size, c.size > 0 ? c.size : int64_t{3} * 1208);
    EXPECT_LT(backup.st_blocks, 1024) << "no hole written";
    for (const struct stat& kept : {backup, fresh}) {
      EXPECT_EQ(kept.st_mode, S_IFREG | 0600);
      if (root) {
        EXPECT_EQ(std::pair(kept.st_uid, kept.st_gid), std::pair(65534u, 65534u));
      }
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
  Bytes list;
  {
    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    zun::TaskRecord task = data.Read(1);
    list = zuntest::ReadBytes(path);
    for (int i = 0; i < 20000; ++i) {
      task.PcFile = "task" + std::to_string(i);
      const auto bytes = zun::EncodeTaskRecord(task);
      list.insert(list.end(), bytes.begin(), bytes.end());
    }
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

TEST(DataFile, AddDeleteAndSaveDefault) {
  zuntest::TempDir dir;
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  zun::TaskRecord settings = data.Read(1);
  settings.Reserved = "junk";
  settings.PcDate = 3.0;
  data.Write(1, settings);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(data.AddTask(), i);
    zun::TaskRecord task = data.Read(i + 2);
    EXPECT_EQ(task.PcDate, 0.0) << "stamps start at 0";
    EXPECT_EQ(task.Version.str(), "0010") << "inherited from record 1";
    task.PcFile = "/texts/task" + std::to_string(i) + ".txt";
    task.PalmFile = "task" + std::to_string(i) + ".pdb";
    data.Write(i + 2, task);
  }
  data.DeleteTask(2);
  EXPECT_EQ(data.TaskCount(), 2);
  EXPECT_EQ(data.Read(3).PcFile.Trimmed(), "/texts/task1.txt");
  EXPECT_EQ(data.Read(4).PcFile.Trimmed(), "/texts/task3.txt");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "zundata.dat and .lock";
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat").size(), 1208u * 4);

  zun::TaskRecord task = data.Read(4);
  task.Action = zun::TaskAction::BothWays;
  task.Options = "0101";
  task.Category = 7;
  task.TabSpace = 8;
  task.Targets = "01";
  task.Counter = 55;
  data.Write(4, task);
  data.SaveAsDefault(2);
  const zun::TaskRecord defaults = data.Read(1);
  EXPECT_EQ(defaults.PcFile.Trimmed(), "/texts/");
  EXPECT_EQ(defaults.PalmFile.Trimmed(), "") << "a bare name has no folder";
  EXPECT_EQ(defaults.Action, zun::TaskAction::BothWays);
  EXPECT_EQ(defaults.Options.Trimmed(), "0101");
  EXPECT_EQ(defaults.Category, 7);
  EXPECT_EQ(defaults.TabSpace, 8);
  EXPECT_EQ(defaults.Targets.Trimmed(), "01");
  EXPECT_EQ(defaults.Counter, 0) << "other fields stay";
  EXPECT_EQ(defaults.Reserved.Trimmed(), "junk");

  // A delete writes the other records again: they stay as stored, also numbers out of the
  // editor's ranges and any other bytes.
  data.AddTask();
  zuntest::ChangeRecord(data, 2, [](zun::TaskRecord& r) {
    r.Category = 31;
    r.TabSpace = -5;
    r.Counter = 1000;
  });
  Bytes before = zuntest::ReadBytes(dir / "zundata.dat");
  const Bytes noise = zuntest::RandomBytes(1208, 5);
  std::copy(noise.begin(), noise.end(), before.end() - 1208);
  zuntest::WriteBytes(dir / "zundata.dat", before);
  data.DeleteTask(1);
  before.erase(before.begin() + 1208L * 2, before.begin() + 1208L * 3);
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat"), before);
  data.DeleteTask(1);
  data.DeleteTask(1);
  EXPECT_EQ(data.TaskCount(), 0);
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat").size(), 2416u);
}

}  // namespace
