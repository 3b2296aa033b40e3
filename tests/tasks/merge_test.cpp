// Both sides of a both-ways task changed: line merges from the task's base, collisions under each
// answer, "UTF-8 Text" and CR LF texts, filters that bar merging, the base following its task, and
// the Trash for whatever a run replaces that did not come from the task's last conversion.
#include <ctime>
#include <filesystem>
#include <fstream>
#include <numeric>

#include "convert/conversion_fixture.h"
#include "glue/file_system.h"
#include "tasks/base_store.h"
#include "tasks/conversion_run.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string Join(const Lines& lines) { return std::accumulate(lines.begin(), lines.end(), std::string()); }

// Lines of the GPL's preamble, each with its LF.
Lines GplLines(size_t first, size_t count) {
  std::ifstream in(zuntest::TestData("gpl3.txt"));
  Lines lines;
  for (std::string line; std::getline(in, line) && lines.size() < first + count;) lines.push_back(line + "\n");
  return Lines(lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end());
}

class Merging : public zuntest::ConversionTest {
 protected:
  void SetUp() override { keepBases = useTrash = true; }

  // A both-ways task run once on `pcText`: its document made, its base kept.
  zun::TaskRecord Synced(const std::string& pcText, std::initializer_list<std::pair<int, bool>> options = {}) {
    zuntest::WriteText(text, pcText);
    zun::TaskRecord task = Run(Task(zun::TaskAction::BothWays, options));
    EXPECT_EQ(task.Status.Trimmed(), "OK");
    return task;
  }
  // Both sides edited: the PC file holds `pcText`, the handheld wrote `documentText`; both times
  // well past the task's stamps.
  void BothEdit(const std::string& pcText, const std::string& documentText, bool throughCharset = false) {
    zuntest::WriteText(text, pcText);
    HandheldWrites(documentText, throughCharset);
    for (const std::string& side : {text, document}) zuntest::SetModificationTime(side, std::time(nullptr) + 60);
  }
  std::string Trash(const std::string& name) const { return s.dataHome / ("Trash/files/" + name); }
  size_t TrashCount() const {
    const std::string files = s.dataHome / "Trash/files";
    return fs::exists(files) ? static_cast<size_t>(std::distance(fs::directory_iterator(files), {})) : 0;
  }
};

TEST_F(Merging, ChangesOnDifferentLinesReachBothSidesAndWhatTheyReplacedGoesToTheTrash) {
  const Lines base = GplLines(9, 30);
  zun::TaskRecord task = Synced(Join(base));
  Lines pc = base;  // a line changed, one deleted, one inserted
  pc[2] = "  The GNU General Public License is a free license for software and documents.\n";
  pc.erase(pc.begin() + 9);
  pc.insert(pc.begin() + 19, "A line the PC added.\n");
  Lines handheld = base;  // a line changed, one deleted, one appended
  handheld[27] = "changed on the handheld\n";
  handheld.erase(handheld.begin() + 14);
  handheld.push_back("The handheld's last line, without a line end");
  BothEdit(Join(pc), Join(handheld));

  EXPECT_EQ(Sync(task), "OK");
  Lines merged = pc;
  merged[27] = "changed on the handheld\n";
  merged.erase(merged.begin() + 13);  // the line the handheld deleted
  merged.push_back(handheld.back());
  EXPECT_EQ(zuntest::ReadText(text), Join(merged));
  EXPECT_EQ(zuntest::DecodedText(document), Join(merged));
  EXPECT_EQ(s.host.bothChangedPrompts, 0);
  EXPECT_EQ(zuntest::ReadText(Trash("notes.txt")), Join(pc));
  EXPECT_EQ(zuntest::DecodedText(Trash("notes.pdb")), Join(handheld));
  EXPECT_TRUE(zuntest::Exists(s.dataHome / "Trash/info/notes.pdb.trashinfo"));
  EXPECT_EQ(Sync(task), zun::status::kNoUpdateNecessary);

  // Only the document changes: an ordinary update, the PC file replaced without a copy.
  merged[0] = "changed on the handheld alone\n";
  HandheldWrites(Join(merged));
  zuntest::SetModificationTime(document, std::time(nullptr) + 120);
  EXPECT_EQ(Sync(task), "OK");
  EXPECT_EQ(zuntest::ReadText(text), Join(merged));
  EXPECT_EQ(TrashCount(), 2u);

  // A document cut short in its last record (it holds less text than DocInfo says) is no edit
  // that took the last lines away: the task fails and the text stays.
  const zuntest::Bytes whole = zuntest::ReadBytes(document);
  zuntest::WriteBytes(document, zuntest::Bytes(whole.begin(), whole.end() - 20));
  zuntest::SetModificationTime(document, std::time(nullptr) + 180);
  EXPECT_EQ(Sync(task), zun::status::kCorrupt);
  EXPECT_EQ(zuntest::ReadText(text), Join(merged));
}

TEST_F(Merging, CrLfTextsKeepTheirLineEndsAndTabsOnTheLinesTheHandheldKept) {
  const Lines base = {"Fruit\tCount\r\n", "Apples\t3\r\n", "Pears\t5\r\n", "Plums\t7\r\n", "Total\t15\r\n"};
  zun::TaskRecord task = Synced(Join(base));  // in the document: TABs to four blanks, no CR
  Lines pc = base;
  pc[1] = "Apples\t4\r\n";
  BothEdit(Join(pc), "Fruit    Count\nApples    3\nPears    5\nCherries    9\nPlums    7\nTotal    24\n");
  EXPECT_EQ(Sync(task), "OK");
  const std::string merged = "Fruit\tCount\r\nApples\t4\r\nPears\t5\r\nCherries    9\r\nPlums\t7\r\nTotal    24\r\n";
  EXPECT_EQ(zuntest::ReadText(text), merged);
  EXPECT_EQ(zuntest::DecodedText(document),
            "Fruit    Count\nApples    4\nPears    5\nCherries    9\nPlums    7\nTotal    24\n");

  // The document alone changes: the PC file keeps its TABs and CR LF where the handheld kept lines.
  HandheldWrites("Fruit    Count\nApples    4\nPears    6\nCherries    9\nPlums    7\nTotal    24\n");
  zuntest::SetModificationTime(document, std::time(nullptr) + 120);
  EXPECT_EQ(Sync(task), "OK");
  EXPECT_EQ(zuntest::ReadText(text),
            "Fruit\tCount\r\nApples\t4\r\nPears    6\r\nCherries    9\r\nPlums\t7\r\nTotal    24\r\n");
}

// The side chosen replaces the other without a further prompt; closing the prompt is Stop.
TEST_F(Merging, CollidingChangesAskAndEachAnswerDoesWhatItSays) {
  struct Case {
    zun::PromptAnswer answer;
    const char* status;
    bool pcTrashed, documentTrashed;
  };
  const Case cases[] = {{zun::PromptAnswer::UpdatePc, "OK", true, false},
                        {zun::PromptAnswer::UpdatePalm, "OK", false, true},
                        {zun::PromptAnswer::Skip, zun::status::kUserSkippedTask, false, false},
                        {zun::PromptAnswer::Stop, zun::status::kUserStopped, false, false},
                        {static_cast<zun::PromptAnswer>(0), zun::status::kUserStopped, false, false}};
  const Lines base = GplLines(40, 12);
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    fs::remove(document);
    fs::remove_all(s.dataHome / "Trash");
    zun::TaskRecord task = Synced(Join(base));
    Lines pc = base;  // adjacent lines: a collision, as in git
    pc[4] = "the PC's line 5\n";
    Lines handheld = base;
    handheld[5] = "the handheld's line 6\n";
    BothEdit(Join(pc), Join(handheld));
    const auto before = std::pair(zuntest::ReadBytes(text), zuntest::ReadBytes(document));
    s.host.bothChangedAnswers = {c.answer};
    s.host.collisions.clear();
    s.host.askOverwrite = true;
    s.flags.stopRequested = false;

    EXPECT_EQ(Sync(task), c.status);
    ASSERT_EQ(s.host.collisions.size(), 1u);
    const zun::Collision& collision = s.host.collisions[0];
    EXPECT_EQ(collision.places, 1);
    EXPECT_EQ(collision.pcLines, (Lines{"the PC's line 5", base[5].substr(0, base[5].size() - 1)}));
    EXPECT_EQ(collision.palmLines, (Lines{base[4].substr(0, base[4].size() - 1), "the handheld's line 6"}));
    // The side replaced, and only that one, goes to the Trash.
    EXPECT_EQ(std::pair(zuntest::Exists(Trash("notes.txt")), zuntest::Exists(Trash("notes.pdb"))),
              std::pair(c.pcTrashed, c.documentTrashed));
    EXPECT_EQ(zuntest::ReadText(text), c.pcTrashed ? Join(handheld) : Join(pc));
    EXPECT_EQ(zuntest::DecodedText(document), c.documentTrashed ? Join(pc) : Join(handheld));
    if (!c.pcTrashed && !c.documentTrashed) {
      EXPECT_EQ(std::pair(zuntest::ReadBytes(text), zuntest::ReadBytes(document)), before);
    }
    EXPECT_EQ(s.flags.stopRequested, c.status == zun::status::kUserStopped);
    EXPECT_FALSE(s.flags.sideChosen);
    EXPECT_TRUE(s.host.overwritePrompts.empty()) << "the chosen side replaces without asking";
    s.host.askOverwrite = false;
  }
  EXPECT_NE(zun::CollisionText(s.host.collisions[0]).find("the handheld's line 6"), std::string::npos);
}

// Russian goes into Windows-1251; Windows-1252 lacks it, so that document keeps the UTF-8 bytes.
// A Latin-1 text stays Latin-1.
TEST_F(Merging, Utf8TextMergesInTheHandheldsSetOrInUtf8) {
  const Lines base = {"Мороз и солнце;\n", "день чудесный!\n", "Еще ты дремлешь,\n", "друг прелестный.\n"};
  for (const std::string set : {"WINDOWS-1251", "WINDOWS-1252"}) {
    SCOPED_TRACE(set);
    fs::remove(document);
    handheldCharset = set;
    const bool inSet = set == "WINDOWS-1251";
    zun::TaskRecord task = Synced(Join(base), {{zun::kOptUtf8Text, true}});
    Lines pc = base;
    pc[0] = "Мороз и солнце!\n";
    Lines handheld = base;
    handheld[3] = "друг мой прелестный.\n";
    BothEdit(Join(pc), Join(handheld), inSet);
    const std::string stored =
        inSet ? "\xe4\xf0\xf3\xe3 \xec\xee\xe9 \xef\xf0\xe5\xeb\xe5\xf1\xf2\xed\xfb\xe9.\n" : handheld[3];
    EXPECT_TRUE(zuntest::DecodedText(document).ends_with(stored));
    EXPECT_EQ(Sync(task), "OK");
    pc[3] = handheld[3];
    EXPECT_EQ(zuntest::ReadText(text), Join(pc));
    EXPECT_TRUE(zuntest::DecodedText(document).ends_with(stored));
    EXPECT_EQ(Sync(task), zun::status::kNoUpdateNecessary);
  }

  // A Latin-1 text keeps its bytes; where it collides, the prompt reads its lines as they are meant.
  fs::remove(document);
  zun::TaskRecord task = Synced("Caf\xe9\nd\xe9j\xe0 vu\n", {{zun::kOptUtf8Text, true}});
  BothEdit("Caf\xe9 cr\xe8me\nd\xe9j\xe0 vu\n", "Caf\xe9\nd\xe9j\xe0 vu, encore\n");
  EXPECT_EQ(Sync(task), zun::status::kUserSkippedTask);
  ASSERT_EQ(s.host.collisions.size(), 1u);
  EXPECT_EQ(s.host.collisions[0].pcLines, (Lines{"Caf\u00e9 cr\u00e8me", "d\u00e9j\u00e0 vu"}));
  EXPECT_EQ(s.host.collisions[0].palmLines, (Lines{"Caf\u00e9", "d\u00e9j\u00e0 vu, encore"}));
}

// A file's time says whether it changed only to within five seconds; its text says what changed.
TEST_F(Merging, TheTextsDecideWhatChangedNotOnlyTheTimes) {
  Lines current = GplLines(60, 10);
  zun::TaskRecord task = Synced(Join(current));
  s.host.askOverwrite = true;
  // A reader keeping its place rewrites the document but not its text: nothing asked or written.
  zuntest::Bytes stored = zuntest::ReadBytes(document);
  const size_t docInfo = static_cast<size_t>(stored[80]) << 8 | stored[81];
  stored.at(docInfo + 15) = 42;
  zuntest::WriteBytes(document, stored);
  zuntest::SetModificationTime(document, std::time(nullptr) + 60);
  const auto pcTime = fs::last_write_time(text);
  EXPECT_EQ(Sync(task), zun::status::kNoUpdateNecessary);
  EXPECT_TRUE(s.host.overwritePrompts.empty());
  EXPECT_EQ(fs::last_write_time(text), pcTime);
  EXPECT_EQ(Sync(task), zun::status::kNoUpdateNecessary);
  EXPECT_EQ(TrashCount(), 0u);
  s.host.askOverwrite = false;
  // The same edit on both sides: neither held anything the other lacks, so nothing for the Trash.
  current[3] = "an edit made on both sides\n";
  zuntest::WriteText(text, Join(current));
  HandheldWrites(Join(current));
  EXPECT_EQ(Sync(task), "OK");
  EXPECT_EQ(zuntest::DecodedText(document), Join(current));
  EXPECT_EQ(Sync(task), zun::status::kNoUpdateNecessary);
  EXPECT_EQ(TrashCount(), 0u);

  // One side saved again within the tolerance of its stamp, the other changed later: merged.
  for (const bool quietPc : {true, false}) {
    SCOPED_TRACE(quietPc ? "the PC file within the tolerance" : "the document within the tolerance");
    const std::string& quiet = quietPc ? text : document;
    const std::time_t stamped = *zun::ModificationTime(quiet);
    Lines pc = current;
    pc[1] = quietPc ? "the PC's, saved again at once\n" : "the PC's\n";
    zuntest::WriteText(text, Join(pc));
    Lines handheld = current;
    handheld[8] = quietPc ? "the handheld's\n" : "the handheld's, synced at once\n";
    HandheldWrites(Join(handheld));
    zuntest::SetModificationTime(quietPc ? document : text, std::time(nullptr) + 120);
    zuntest::SetModificationTime(quiet, stamped);
    current = pc;
    current[8] = handheld[8];
    EXPECT_EQ(Sync(task), "OK");
    EXPECT_EQ(zuntest::ReadText(text), Join(current));
    EXPECT_EQ(zuntest::DecodedText(document), Join(current));
    EXPECT_EQ(Sync(task), zun::status::kNoUpdateNecessary);
  }
}

TEST_F(Merging, FiltersThatChangeLinesBarMergingAndAskAsBefore) {
  for (const int option : {zun::kOptCrToLf, zun::kOptStripHtml}) {
    SCOPED_TRACE(option);
    fs::remove(document);
    zun::TaskRecord task = Synced("first line\r\nsecond line\r\nthird line\r\n", {{option, true}});
    BothEdit("first line, edited\r\nsecond line\r\nthird line\r\n",
             zuntest::DecodedText(document) + "a line from the handheld\n");
    s.host.collisions.clear();
    EXPECT_EQ(Sync(task), zun::status::kUserSkippedTask);
    ASSERT_EQ(s.host.collisions.size(), 1u);
    EXPECT_EQ(s.host.collisions[0].places, 0) << "not compared: no lines shown";
  }
}

TEST_F(Merging, ATrashThatCannotBeWrittenFailsTheTaskAndReplacesNothing) {
  zun::TaskRecord task = Synced("one\ntwo\nthree\n");
  BothEdit("one, edited\ntwo\nthree\n", "one\ntwo\nthree, edited\n");
  zuntest::WriteText(s.dataHome / "Trash", "not a folder");
  const auto files = std::pair(zuntest::ReadBytes(text), zuntest::ReadBytes(document));
  const auto stamps = std::pair(task.PcDate, task.PalmDate);
  EXPECT_EQ(Sync(task), zun::status::kTrashFailed);
  EXPECT_EQ(std::pair(zuntest::ReadBytes(text), zuntest::ReadBytes(document)), files);
  EXPECT_EQ(std::pair(task.PcDate, task.PalmDate), stamps);

  useTrash = false;  // as zundoc run --no-trash
  EXPECT_EQ(Sync(task), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "one, edited\ntwo\nthree, edited\n");
}

TEST_F(Merging, AnExistingTargetTheTaskNeverWroteGoesToTheTrashOnce) {
  zuntest::WriteText(text, "the text");
  zuntest::WriteText(document, "somebody's file");
  zun::TaskRecord task = Run(Task(zun::TaskAction::PcToPalm));
  EXPECT_EQ(task.Status.Trimmed(), "OK");
  EXPECT_EQ(zuntest::ReadText(Trash("notes.pdb")), "somebody's file");
  zuntest::WriteText(text, "the text, changed");
  EXPECT_EQ(Status(task), "OK");
  EXPECT_EQ(TrashCount(), 1u) << "the document held what the task wrote";
  const std::string bases = s.programDir / zun::kBaseFolderName;
  using fs::perms;
  EXPECT_EQ(fs::status(bases).permissions(), perms(0700));
  EXPECT_EQ(fs::status(bases + "/" + zun::BaseKey(text, document)).permissions(), perms(0600));

  // A name as long as a file name may be gets a shorter one in the Trash, of whole characters.
  std::string stem, escaped;
  for (int i = 0; i < 124; ++i) stem += "\u00e9", escaped += "%C3%A9";
  document = s.files / (stem + ".pdb");
  for (const std::string number : {"", ".2"}) {
    zuntest::WriteText(document, "somebody's file");
    EXPECT_EQ(Status(Task(zun::TaskAction::PcToPalm)), "OK");
    const std::string name = stem.substr(0, number.empty() ? 240 : 238) + number + ".pdb";
    EXPECT_EQ(zuntest::ReadText(Trash(name)), "somebody's file");
    const std::string info = zuntest::ReadText(s.dataHome / ("Trash/info/" + name + ".trashinfo"));
    EXPECT_NE(info.find("/" + escaped + ".pdb\n"), std::string::npos) << info;
  }
}

// The run over all tasks: a task whose names or first target change has no base until its next
// conversion (never the base of another document), and the run that converts removes the bases
// no task names any more.
TEST(BaseOfATask, FollowsItsFilesThroughTheRuns) {
  zuntest::ConversionSetup s;
  zuntest::FakeUsers users;
  users.desktop = s.files.Path();
  users.AddUser(11, "Anna");
  s.users = &users;
  zun::DataFile data{s.programDir.Path()};
  data.OpenAndCheck();
  zuntest::ChangeRecord(data, zun::kSettingsRecord, [](zun::TaskRecord& r) { r.SetAskOverwrite(false); });
  const std::string pc = s.files / "a.txt";
  const std::string custom = s.files / "a.pdb";
  const std::string annas = users.BackupDir(0) + "a.pdb";
  const int32_t record = zuntest::AddTask(data, zun::TaskAction::BothWays, pc, custom);
  const auto run = [&](const char* targets) {
    zuntest::ChangeRecord(data, record, [&](zun::TaskRecord& r) { r.Targets = targets; });
    s.host.checks = zun::ChecksFromTargets(zun::FixedText<32>(targets), 2);
    zun::ConversionEnv env = s.Env();
    env.keepBases = env.useTrash = true;
    EXPECT_FALSE(zun::RunAllTasks(data, env, s.host).has_value());
  };
  zuntest::WriteText(pc, "alpha, as it was\nbeta\ngamma\n");
  run("01");  // "Custom"
  zuntest::WriteText(pc, "alpha\nbeta\ngamma\n");
  run("10");  // Anna's: a new document

  // Back to "Custom", whose document Anna's base never saw: asked, not merged with it.
  zuntest::WriteText(pc, "alpha\nbeta\ngamma, edited\n");
  for (const std::string& changed : {pc, custom}) zuntest::SetModificationTime(changed, std::time(nullptr) + 60);
  s.host.laterBothChangedAnswer = zun::PromptAnswer::UpdatePalm;
  run("01");
  ASSERT_EQ(s.host.collisions.size(), 1u);
  EXPECT_EQ(s.host.collisions[0].places, 0) << "no base for this document";
  EXPECT_EQ(zuntest::ReadText(pc), "alpha\nbeta\ngamma, edited\n");
  EXPECT_FALSE(zun::LoadBase(s.programDir.Path(), pc, annas).has_value()) << "no task names it any more";

  const std::string renamed = s.files / "b.txt";
  fs::rename(pc, renamed);
  zuntest::ChangeRecord(data, record, [&](zun::TaskRecord& r) { r.PcFile = renamed; });
  zuntest::WriteText(renamed, "alpha, edited\nbeta\ngamma, edited\n");
  for (const std::string& changed : {renamed, custom}) zuntest::SetModificationTime(changed, std::time(nullptr) + 120);
  run("01");
  ASSERT_EQ(s.host.collisions.size(), 2u);
  EXPECT_EQ(s.host.collisions[1].places, 0) << "no base under the new name";
  EXPECT_FALSE(zun::LoadBase(s.programDir.Path(), pc, custom).has_value());
  EXPECT_TRUE(zun::LoadBase(s.programDir.Path(), renamed, custom).has_value());
}

}  // namespace
