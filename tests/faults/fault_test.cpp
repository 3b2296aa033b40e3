// Faults from outside, through the conversions as zundoc runs them: files and folders that cannot
// be written, a document or text that vanishes between the check and the read, a full disk, links,
// FIFOs and devices where files are expected, files that claim more than they hold, a second
// program on the same data folder. Each ends with an error status (or the link kept) and leaves the
// old PC file, the old document and zundata.dat as they were. How a file is replaced (hard links,
// owners, read-only files, long names) is tested with the replacement file itself.
//
// Permission cases run zundoc as the unprivileged user "nobody" when the tests run as root
// (root may write anywhere); a full disk is a file-size limit, which binds root too.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "convert/document_to_text.h"
#include "convert/status_texts.h"
#include "convert/text_to_document.h"
#include "pdb/pdb_file.h"
#include "record/data_file.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZUN2_ADDRESS_SANITIZER 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define ZUN2_ADDRESS_SANITIZER 1
#endif
#ifdef ZUN2_ADDRESS_SANITIZER
constexpr rlim_t kMemoryLimit = RLIM_INFINITY;  // the sanitizer reserves terabytes of address space
#else
constexpr rlim_t kMemoryLimit = 256u << 20;
#endif

struct Outcome {
  int exit = -1;
  std::string out;
  std::string err;
};

struct Limits {
  bool unprivileged = false;
  rlim_t fileSize = RLIM_INFINITY;
  rlim_t addressSpace = RLIM_INFINITY;
};

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

  Outcome Zundoc(std::vector<std::string> args, bool unprivileged, rlim_t sizeLimit = RLIM_INFINITY) {
    return Zundoc(std::move(args), Limits{unprivileged, sizeLimit});
  }
  // Runs zundoc in `dir`; as "nobody" when asked and running as root; within the limits.
  Outcome Zundoc(std::vector<std::string> args, const Limits& limits) {
    const std::string outPath = tools / "stdout";
    const std::string errPath = tools / "stderr";
    const pid_t child = fork();
    if (child == 0) {
      std::freopen(outPath.c_str(), "w", stdout);
      std::freopen(errPath.c_str(), "w", stderr);
      if (chdir(dir.Path().c_str()) != 0) _exit(98);
      const rlimit size{limits.fileSize, limits.fileSize};
      setrlimit(RLIMIT_FSIZE, &size);
      const rlimit memory{limits.addressSpace, limits.addressSpace};
      setrlimit(RLIMIT_AS, &memory);
      std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
      std::vector<std::string> command;
      if (limits.unprivileged && geteuid() == 0) {
        command = {"setpriv", "--reuid=" + std::to_string(kNobody), "--regid=" + std::to_string(kNobody),
                   "--clear-groups", "--"};
      }
      command.push_back(tools / "zundoc");
      command.insert(command.end(), args.begin(), args.end());
      std::vector<char*> argv;
      argv.reserve(command.size() + 1);
      for (std::string& word : command) argv.push_back(word.data());
      argv.push_back(nullptr);
      setenv("TMPDIR", tools.Path().c_str(), 1);
      setenv("JPILOT_HOME", (tools / "none").c_str(), 1);
      execvp(argv[0], argv.data());
      _exit(99);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, zuntest::ReadText(outPath), zuntest::ReadText(errPath)};
  }

  std::string MakeDocument(const std::string& name, const std::string& text) {
    zuntest::WriteText(dir / "source.txt", text);
    EXPECT_EQ(Zundoc({"encode", "--raw", "source.txt", name}, false).out, "OK\n");
    fs::remove(dir / "source.txt");
    return zuntest::ReadText(dir / name);
  }
  std::vector<std::string> Leftovers(const std::string& folder) {
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name.find(".zun2-") != std::string::npos) names.push_back(name);
    }
    return names;
  }
};

TEST_F(Faults, FilesAndFoldersThatCannotBeWrittenKeepWhatTheyHold) {
  MakeDocument("doc.pdb", "new text from the handheld");
  fs::create_directory(dir / "ro");
  const std::string oldDocument = MakeDocument("ro/doc.pdb", "old document text");
  zuntest::WriteText(dir / "ro/locked.txt", "old text");
  zuntest::WriteText(dir / "open.txt", "old text");
  zuntest::WriteText(dir / "new.txt", "new text");
  fs::permissions(dir / "open.txt", fs::perms(0444));
  fs::permissions(dir / "ro", fs::perms(0555));
  for (const char* target : {"ro/locked.txt", "open.txt"}) {
    SCOPED_TRACE(target);
    const Outcome r = Zundoc({"decode", "doc.pdb", target}, true);
    EXPECT_EQ(r.out, std::string(zun::status::kCouldNotOpen) + "\n");
    EXPECT_EQ(r.exit, 1);
    EXPECT_EQ(zuntest::ReadText(dir / target), "old text");
  }
  EXPECT_EQ(Zundoc({"encode", "new.txt", "ro/doc.pdb"}, true).out, std::string(zun::status::kCouldNotOpen) + "\n");
  EXPECT_EQ(zuntest::ReadText(dir / "ro/doc.pdb"), oldDocument);
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
  EXPECT_TRUE(Leftovers(dir / "ro").empty());
}

TEST_F(Faults, AFullDiskKeepsTheOldFilesAndTheDataFile) {
  const std::string big = zuntest::ProseText(300000, 4);
  const std::string oldDocument = MakeDocument("doc.pdb", big);
  zuntest::WriteText(dir / "text.txt", "old text");
  Outcome r = Zundoc({"decode", "doc.pdb", "text.txt"}, false, 100000);
  EXPECT_EQ(r.exit, 1);
  EXPECT_TRUE(r.out.starts_with("Error")) << r.out;
  EXPECT_EQ(zuntest::ReadText(dir / "text.txt"), "old text");

  zuntest::WriteText(dir / "big.txt", big);
  r = Zundoc({"encode", "--no-compress", "big.txt", "doc.pdb"}, false, 100000);
  EXPECT_TRUE(r.out.starts_with("Error")) << r.out;
  EXPECT_EQ(zuntest::ReadText(dir / "doc.pdb"), oldDocument);
  EXPECT_TRUE(Leftovers(dir.Path()).empty());

  {  // two tasks that decode the big document
    zun::DataFile data(dir.Path());
    data.OpenAndCheck();
    for (int i = 0; i < 2; ++i) {
      zun::TaskRecord task = data.Read(zun::TaskRecordNumber(data.AddTask()));
      task.Action = zun::TaskAction::PalmToPc;
      task.PcFile = dir / "text.txt";
      task.PalmFile = dir / "doc.pdb";
      data.Write(3 + i, task);
    }
    zun::TaskRecord settings = data.Read(zun::kSettingsRecord);
    settings.SetAskOverwrite(false);
    data.Write(zun::kSettingsRecord, settings);
  }
  EXPECT_EQ(Zundoc({"run"}, false, 100000).exit, 1);
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat").size(), 4u * 1208);
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();
  EXPECT_TRUE(data.Read(3).Status.Trimmed().starts_with("Error"));
  EXPECT_EQ(data.Read(3).PcFile.Trimmed(), dir / "text.txt");
  EXPECT_EQ(zuntest::ReadText(dir / "text.txt"), "old text");
}

TEST(Vanishing, ADocumentGoneBeforeTheReadIsAnErrorAndTheTextStays) {
  zuntest::ConversionSetup s;
  const std::string text = s.files / "t.txt";
  const std::string document = s.files / "t.pdb";
  zuntest::WriteBytes(document, zuntest::MakeDatabase({zun::MakeDocInfo(3, 1, false), {'n', 'e', 'w'}}));
  zuntest::WriteText(text, "old");
  zun::TaskRecord task = s.Task(zun::TaskAction::PalmToPc, text, document);
  // The prompt comes after the existence check; the file goes while it is open.
  std::string victim = document;
  s.host.onOverwritePrompt = [&] { std::filesystem::remove(victim); };
  s.host.askOverwrite = true;
  s.host.laterOverwriteAnswer = {zun::PromptAnswer::Overwrite, false};
  zun::ConversionEnv env = s.Env();
  zun::ConvertDocumentToText(task, env);
  EXPECT_EQ(task.Status.Trimmed(), zun::status::kCouldNotOpen);
  EXPECT_EQ(zuntest::ReadText(text), "old");
  EXPECT_EQ(task.PcDate, 0.0);

  // And a text gone while the document's prompt is open.
  zuntest::WriteText(text, "text");
  zuntest::WriteText(document, "old document");
  victim = text;
  zun::TaskRecord back = s.Task(zun::TaskAction::PcToPalm, text, document);
  zun::ConvertTextToDocument(back, env);
  EXPECT_EQ(back.Status.Trimmed(), zun::status::kCouldNotOpen);
  EXPECT_EQ(zuntest::ReadText(document), "old document");
  EXPECT_TRUE(std::filesystem::is_empty(s.programDir.Path())) << "no temporary file left";
}

TEST_F(Faults, LinksAreKeptAndSpecialFilesRefusedWithoutWaiting) {
  MakeDocument("doc.pdb", "new text");
  fs::create_directory(dir / "real");
  zuntest::WriteText(dir / "real/text.txt", "old text");
  fs::create_symlink("real/text.txt", dir / "link.txt");
  fs::create_hard_link(dir / "real/text.txt", dir / "hard.txt");
  EXPECT_EQ(Zundoc({"decode", "doc.pdb", "link.txt"}, false).out, "OK\n");
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(zuntest::ReadText(dir / "real/text.txt"), "new text");
  EXPECT_EQ(zuntest::ReadText(dir / "hard.txt"), "new text") << "every name of the file shows it";
  fs::create_symlink("real/doc.pdb", dir / "linked.pdb");
  EXPECT_EQ(Zundoc({"encode", "link.txt", "linked.pdb"}, false).out, "OK\n");
  EXPECT_TRUE(fs::is_symlink(dir / "linked.pdb"));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "real/doc.pdb")));

  // The same file on both sides is never written over itself.
  const std::string text = zuntest::ReadText(dir / "real/text.txt");
  EXPECT_EQ(Zundoc({"encode", "hard.txt", "real/text.txt"}, false).out, std::string(zun::status::kCouldNotOpen) + "\n");
  EXPECT_EQ(Zundoc({"decode", "linked.pdb", "real/doc.pdb"}, false).exit, 1);
  EXPECT_EQ(zuntest::ReadText(dir / "real/text.txt"), text);
  EXPECT_EQ(Zundoc({"decode", "linked.pdb", "back.txt"}, false).out, "OK\n");

  // FIFOs and devices where files belong: an error at once, nothing replaced.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"encode", "fifo", "x.pdb"},
                                                                                    {"decode", "fifo", "x.txt"},
                                                                                    {"decode", "doc.pdb", "fifo"},
                                                                                    {"decode", "doc.pdb", "/dev/null"},
                                                                                    {"info", "fifo"}}) {
    SCOPED_TRACE(args[0] + " " + args[1] + " " + args[2 % args.size()]);
    EXPECT_EQ(Zundoc(args, false).exit, 1);
  }
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
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
  for (const char* document : {"huge.pdb", "promise.pdb"}) {
    SCOPED_TRACE(document);
    const Outcome r = Zundoc({"decode", document, "out.txt"}, Limits{false, RLIM_INFINITY, kMemoryLimit});
    EXPECT_EQ(r.exit, 1);
    EXPECT_TRUE(r.out.starts_with("Error")) << r.out << r.err;
    EXPECT_FALSE(zuntest::Exists(dir / "out.txt"));
  }
}

TEST_F(Faults, OneProgramAtATimeUsesADataFolder) {
  zun::DataFile data(dir.Path());
  data.OpenAndCheck();  // as a window would
  Outcome r = Zundoc({"run"}, false);
  EXPECT_EQ(r.exit, 3);
  EXPECT_NE(r.err.find("is using " + dir.Path()), std::string::npos) << r.err;
  std::thread closing([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    data.Close();
  });
  r = Zundoc({"run", "--wait"}, false);
  closing.join();
  EXPECT_EQ(r.exit, 0) << r.err;
}

TEST_F(Faults, ALibraryInTheCurrentOrDataFolderIsNeverLoaded) {
  fs::copy_file(PLANTED_LIBRARY, dir / "libzun2.so");
  const std::string mark = tools / "loaded";
  zuntest::ScopedEnv env("ZUN2_PLANTED_MARK", mark);
  MakeDocument("doc.pdb", "text");
  EXPECT_EQ(Zundoc({"info", "doc.pdb"}, false).exit, 0);
  EXPECT_EQ(Zundoc({"run", "--dir", dir.Path()}, false).exit, 0);
  EXPECT_FALSE(zuntest::Exists(mark));
}

}  // namespace
