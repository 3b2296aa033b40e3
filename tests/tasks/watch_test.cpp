// Watching a task list: the folders the kernel reports on, which tasks a change concerns, and
// the unattended run that never decides for the user.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "glue/file_system.h"
#include "glue/inotify_watcher.h"
#include "record/data_file.h"
#include "support/test_support.h"
#include "tasks/conversion_run.h"
#include "tasks/unattended.h"
#include "tasks/watch_plan.h"

namespace {

using Changes = zun::FolderWatcher::Changes;

// Reads the watcher's reports until `done` holds for all of them together (ten seconds at most).
Changes Await(zun::FolderWatcher& watcher, const std::function<bool(const Changes&)>& done) {
  Changes all;
  for (int waited = 0; !done(all) && waited < 100; ++waited) {
    pollfd ready{watcher.Descriptor(), POLLIN, 0};
    ::poll(&ready, 1, 100);
    const Changes some = watcher.ReadChanges();
    all.paths.insert(some.paths.begin(), some.paths.end());
    all.rearm = all.rearm || some.rearm;
    all.overflow = all.overflow || some.overflow;
  }
  return all;
}

std::string Folder(const zuntest::TempDir& dir, const std::string& name = "") {
  const std::string path = dir / name;
  return path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

TEST(FolderWatcher, FollowsEditorSavesFoldersThatComeLaterAndLinks) {
  zuntest::TempDir dir;
  std::filesystem::create_directories(dir / "docs");
  std::filesystem::create_directory_symlink(dir / "docs", dir / "link");
  zun::FolderWatcher watcher;
  const std::set<std::string> wanted{Folder(dir, "docs"), Folder(dir, "link"), Folder(dir, "later/deep")};
  EXPECT_EQ(watcher.WatchFolders(wanted).added, (std::set<std::string>{Folder(dir, "docs"), Folder(dir, "link")}));
  EXPECT_EQ(watcher.WatchCount(), 2u) << "docs and its link share one watch; the folder above stands for the rest";

  // An editor's save: a new file renamed over the old one. Both names of the folder report it.
  zuntest::WriteText(dir / "docs/notes.txt", "old");
  zuntest::WriteText(dir / "docs/.notes.txt.swp", "new");
  std::filesystem::rename(dir / "docs/.notes.txt.swp", dir / "docs/notes.txt");
  Changes changes = Await(watcher, [&](const Changes& c) { return c.paths.contains(dir / "link/notes.txt"); });
  EXPECT_TRUE(changes.paths.contains(dir / "docs/notes.txt"));
  EXPECT_FALSE(changes.rearm);

  // A folder that did not exist: its appearance asks for new watches, which then see its files.
  std::filesystem::create_directories(dir / "later/deep");
  EXPECT_TRUE(Await(watcher, [](const Changes& c) { return c.rearm; }).rearm);
  EXPECT_EQ(watcher.WatchFolders(wanted).added, std::set<std::string>{Folder(dir, "later/deep")});
  zuntest::WriteText(dir / "later/deep/arrived.pdb", "x");
  EXPECT_TRUE(Await(watcher, [&](const Changes& c) {
                return c.paths.contains(dir / "later/deep/arrived.pdb");
              }).paths.contains(dir / "later/deep/arrived.pdb"));

  // A link pointed elsewhere, and a watched folder that goes: new watches again.
  std::filesystem::create_directories(dir / "other");
  std::filesystem::create_directory_symlink(dir / "other", dir / "link.new");
  std::filesystem::rename(dir / "link.new", dir / "link");
  EXPECT_TRUE(Await(watcher, [](const Changes& c) { return c.rearm; }).rearm);
  watcher.WatchFolders(wanted);
  std::filesystem::remove_all(dir / "later");
  EXPECT_TRUE(Await(watcher, [](const Changes& c) { return c.rearm; }).rearm);
  watcher.WatchFolders(wanted);
  EXPECT_EQ(watcher.WatchCount(), 3u) << "docs, other (through the link) and the test's folder";
}

TEST(FolderWatcher, AWaitForTheDataFolderEndsWhenItsHolderLetsGoOrOnAStop) {
  zuntest::TempDir dir;
  int stop[2];
  ASSERT_EQ(::pipe(stop), 0);
  EXPECT_TRUE(zun::WaitForUnlock(dir / "zundata.lock", stop[0])) << "no lock file: nobody holds it";
  {
    zun::DataFile holder(dir.Path());
    holder.OpenAndCheck();
    ASSERT_EQ(::write(stop[1], "x", 1), 1);
    EXPECT_FALSE(zun::WaitForUnlock(dir / "zundata.lock", stop[0])) << "held: only the stop ends the wait";
  }
  EXPECT_TRUE(zun::WaitForUnlock(dir / "zundata.lock", stop[0]));
  ::close(stop[0]);
  ::close(stop[1]);
}

// A data folder with tasks on files in `files`, and a plan over it.
struct Watched {
  zuntest::ConversionSetup s;
  zun::DataFile data{s.programDir.Path()};
  std::optional<zun::WatchPlan> plan;
  std::function<void(zun::TaskRecord&)> duringRun;  // after a task's conversion, before the plan hears of it

  Watched() {
    data.OpenAndCheck();
    plan.emplace(s.programDir.Path(), s.noUsers, 1);
  }
  std::string File(const std::string& name) const { return s.files / name; }
  void Follow() { plan->Follow(zun::ReadTaskList(data)); }
  // Runs what is due as zundoc watch does; the tasks left for the user.
  std::vector<zun::LeftTask> RunDue() {
    Follow();
    zun::UnattendedHost host(data, 1);
    zun::ConversionEnv env{s.codec, *s.users, host, s.flags, s.programDir.Path(), &data};
    zun::TaskHooks hooks = zun::UnattendedHooks(host.answers, *plan);
    hooks.after = [after = hooks.after, this](int32_t row, zun::TaskRecord& task) {
      if (duringRun) duringRun(task);
      after(row, task);
    };
    EXPECT_EQ(zun::RunTasks(data, env, host, plan->TakeDueRows(), hooks), std::nullopt);
    return host.answers.TakeLeftTasks();
  }
  std::string Status(int32_t row) const { return data.Read(zun::TaskRecordNumber(row)).Status.Trimmed(); }
};

TEST(WatchPlan, RunsTasksWhoseStartingFilesLeftTheirStampsAndTasksNewToIt) {
  Watched w;
  zuntest::AddTask(w.data, zun::TaskAction::BothWays, w.File("both.txt"), w.File("both.pdb"));
  zuntest::AddTask(w.data, zun::TaskAction::PcToPalm, w.File("one.txt"), w.File("out/one.pdb"));
  zuntest::AddTask(w.data, zun::TaskAction::NoConversion, w.File("none.txt"), w.File("none.pdb"));
  zuntest::AddTask(w.data, zun::TaskAction::PcToPalm, "", "");  // just made, not set up yet
  for (const char* name : {"both.txt", "one.txt", "none.txt"}) zuntest::WriteText(w.File(name), name);
  w.Follow();
  EXPECT_EQ(w.plan->Folders(), (std::set<std::string>{Folder(w.s.programDir), Folder(w.s.files)}))
      << "a one-way task's target does not start it";
  EXPECT_TRUE(w.RunDue().empty());
  EXPECT_EQ(w.Status(1), "OK") << "at first every task is new";
  EXPECT_TRUE(w.Status(2).starts_with("Error")) << "no folder out yet";
  std::filesystem::create_directory(w.File("out"));
  EXPECT_TRUE(w.plan->Changed(w.File("one.txt")));
  EXPECT_TRUE(w.RunDue().empty());
  EXPECT_EQ(w.Status(2), "OK") << "a failure is tried again at the next report of its file";
  EXPECT_EQ(w.Status(4), "") << "a task without its files has nothing to run";

  w.Follow();
  EXPECT_TRUE(w.plan->TakeDueRows().empty()) << "in step after the run";
  EXPECT_FALSE(w.plan->Changed(w.File("out/one.pdb")));
  EXPECT_FALSE(w.plan->Changed(w.File("none.txt")));
  EXPECT_TRUE(w.plan->Changed(w.File("one.txt")));
  EXPECT_TRUE(w.plan->TakeDueRows().empty()) << "reported, but as its stamp says: written by the run";
  zuntest::SetModificationTime(w.File("one.txt"), *zun::ModificationTime(w.File("one.txt")) + 60);
  EXPECT_TRUE(w.plan->Changed(w.File("one.txt")));
  EXPECT_TRUE(w.plan->RunDue());
  // Saved again while its run went on, which stamped that save: the run converted the text it
  // found, so the save is still to run.
  w.duringRun = [&](zun::TaskRecord& task) {
    zuntest::WriteText(w.File("one.txt"), "saved while it ran");
    task.PcDate = zun::StampOf(w.File("one.txt"));
  };
  EXPECT_TRUE(w.RunDue().empty());
  w.duringRun = nullptr;
  EXPECT_TRUE(w.plan->Changed(w.File("one.txt")));
  EXPECT_EQ(w.plan->TakeDueRows(), (std::vector<int32_t>{2}));

  // The data file: its own writes are no change of the list; another's are.
  w.plan->DataFileLeft();
  EXPECT_FALSE(w.plan->Changed(w.s.programDir / "zundata.dat"));
  zuntest::ChangeRecord(w.data, 3, [&](zun::TaskRecord& t) { t.PcFile = w.File("edited.txt"); });
  EXPECT_TRUE(w.plan->Changed(w.s.programDir / "zundata.dat"));
  EXPECT_TRUE(w.plan->TaskListChanged());
  zuntest::WriteText(w.File("edited.txt"), "edited");
  zuntest::SetModificationTime(w.File("edited.txt"), 1700000000);
  w.data.DeleteTask(2);
  w.Follow();
  EXPECT_EQ(w.plan->TakeDueRows(), (std::vector<int32_t>{1})) << "the edited task, now row 1; row 2 only moved";
}

TEST(WatchPlan, AnUnattendedRunLeavesToTheUserWhatOnlyTheUserMayDecide) {
  Watched w;
  const std::string never = w.File("never.pdb"), collide = w.File("collide.txt"), saved = w.File("saved.txt");
  const std::string palm = w.File("palm.pdb");
  zuntest::AddTask(w.data, zun::TaskAction::PcToPalm, w.File("never.txt"), never);
  zuntest::AddTask(w.data, zun::TaskAction::BothWays, collide, w.File("collide.pdb"));
  zuntest::AddTask(w.data, zun::TaskAction::BothWays, saved, w.File("saved.pdb"));
  zuntest::AddTask(w.data, zun::TaskAction::PcToPalm, w.File("palm.txt"), palm);
  for (const char* name : {"never.txt", "collide.txt", "saved.txt", "palm.txt"})
    zuntest::WriteText(w.File(name), "one");
  zuntest::WriteText(never, "a document the task never wrote");
  std::vector<zun::LeftTask> left = w.RunDue();
  EXPECT_EQ(w.Status(1), zun::kNotReplacedStatus);
  EXPECT_EQ(zuntest::ReadText(never), "a document the task never wrote");
  ASSERT_EQ(left.size(), 1u);
  EXPECT_FALSE(left[0].bothChanged);

  // Both sides of task 2 changed; task 3's text was saved again three seconds after its last
  // conversion, which its stamp cannot tell; task 4, now from the handheld, got a new document.
  const std::time_t converted = *zun::ModificationTime(saved);
  zuntest::WriteText(collide, "PC");
  std::filesystem::copy_file(palm, w.File("collide.pdb"), std::filesystem::copy_options::overwrite_existing);
  zuntest::WriteText(saved, "two");
  zuntest::SetModificationTime(saved, converted + 3);
  zuntest::ChangeRecord(w.data, 6, [](zun::TaskRecord& t) { t.Action = zun::TaskAction::PalmToPc; });
  zuntest::WriteText(w.File("palm.txt"), "changed, but the task wrote it before");
  for (const std::string& path : {collide, w.File("collide.pdb"), palm}) {
    zuntest::SetModificationTime(path, converted + 60);
    w.plan->Changed(path);
  }
  w.plan->Changed(saved);
  left = w.RunDue();
  EXPECT_EQ(w.Status(2), zun::kMustChooseStatus);
  EXPECT_EQ(zuntest::ReadText(collide), "PC") << "both sides stay as they are";
  EXPECT_EQ(w.Status(3), "OK");
  EXPECT_EQ(zuntest::DecodedText(w.File("saved.pdb")), "two");
  EXPECT_EQ(w.Status(4), "OK");
  EXPECT_EQ(zuntest::ReadText(w.File("palm.txt")), "one");

  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left[0].bothChanged);
  w.plan->Changed(collide);
  EXPECT_TRUE(w.RunDue().empty()) << "reported again as the run found it: nobody is told twice";
  left.push_back({w.File("a<b>\xe9\n.txt"), never, false});  // Latin-1, a line break: not for D-Bus
  left.push_back({saved, w.File("saved.pdb"), true, 2});
  const zun::Notice notice = zun::NoticeFor(left);
  EXPECT_EQ(notice.summary, "ZUN2: 3 tasks need your choice");
  EXPECT_EQ(notice.body,
            "collide.txt and collide.pdb: both files changed\n"
            "a&lt;b&gt;\uFFFD\uFFFD.txt and never.pdb: an existing file the task never converted\n"
            "saved.txt and saved.pdb: both files changed the same lines in 2 places\n"
            "Nothing was replaced. Convert in ZUN2 to choose.");
  EXPECT_LE(std::string(zun::kNotReplacedStatus).size(), 64u);
}

TEST(QuietTime, ChangesStartItAnew) {
  using namespace std::chrono_literals;
  zun::QuietTime quiet(2000ms);
  const auto start = zun::QuietTime::Clock::now();
  EXPECT_EQ(quiet.Left(start), std::nullopt) << "nothing changed: no wait";
  quiet.Changed(start);
  quiet.Changed(start + 1500ms);
  EXPECT_EQ(quiet.Left(start + 2000ms), 1500ms);
  EXPECT_EQ(quiet.Left(start + 4000ms), 0ms);
}

}  // namespace
