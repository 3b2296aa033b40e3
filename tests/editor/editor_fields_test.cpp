// The editor's fields: options, number boxes, targets and the direction, naming, file
// information, browsing.
#include <filesystem>

#include "editor/editor_fixture.h"

using zuntest::EditorTest;

namespace {

TEST_F(EditorTest, OptionsAndNumberBoxesStoreTheirOwnFieldInRange) {
  Start({}, 1);
  model->OptionChanged(zun::kOptStripHtml, true);
  model->OptionChanged(zun::kOptCompress, false);
  EXPECT_EQ(Task(1).Options.str().substr(0, 4), "011 ") << "each option its own character";
  using Cases = std::vector<std::tuple<std::string, std::string, int16_t>>;  // typed, shown, stored
  for (const auto& [typed, shown, stored] :
       Cases{{"100", "10", 10}, {"99", "64", 64}, {"-3", "0", 0}, {"7x", "7x", 7}, {"ab", "ab", 0}, {"8", "8", 8}}) {
    model->TabSpaceEdited(typed);
    EXPECT_EQ(std::pair(S().tabSpaceText, Task(1).TabSpace), std::pair(shown, stored)) << typed;
  }
  for (const auto& [typed, shown, stored] :
       Cases{{"20", "15", 15}, {".5", ".5", 0}, {".6", ".6", 1}, {"2.5", "2.", 2}}) {
    model->CategoryEdited(typed);
    EXPECT_EQ(std::pair(S().categoryText, Task(1).Category), std::pair(shown, stored)) << typed;
  }
  EXPECT_EQ(Task(1).TabSpace, 8) << "the category is no TAB space";
}

// The users and "Custom", the targets each direction allows, the Palm box following them.
TEST_F(EditorTest, TargetsFollowTheDirection) {
  Start({"Anna", "Bert"}, 1);
  SetTask(1, zun::TaskAction::PcToPalm, "110", {}, "notes.pdb");
  Restart();
  EXPECT_EQ(S().installEntries, (std::vector<std::string>{"Anna", "Bert", "Custom"}));
  EXPECT_EQ(S().palmFileInfo, "Distribute Mode");
  model->TargetChanged(2, true);  // "Custom" alone
  EXPECT_EQ(S().installChecks, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(Targets(1, 3), "001");
  EXPECT_EQ(S().palmFileText, files / "notes.pdb") << "a full path; no default Palm folder: the fall-back folder";
  EXPECT_EQ(Task(1).PalmFile.Trimmed(), files / "notes.pdb");
  model->TargetChanged(0, true);
  EXPECT_EQ(S().palmFileText, "notes.pdb") << "a bare name for a user";
  EXPECT_EQ(Targets(1, 3), "100");
  SetRecord(1, [](zun::TaskRecord& t) { t.PalmFile = "/defaults/"; });
  model->TargetChanged(2, true);
  EXPECT_EQ(S().palmFileText, "/defaults/notes.pdb") << "record 1's default Palm folder";
  model->TargetChanged(0, true);
  model->TargetChanged(1, true);  // PC to Palm: several users
  EXPECT_EQ(Targets(1, 3), "110");
  model->TargetChanged(1, false);
  model->TargetChanged(0, false);  // the last checked one stays
  EXPECT_EQ(S().installChecks, (std::vector<bool>{true, false, false}));
  EXPECT_EQ(Targets(1, 3), "100");

  model->TargetChanged(1, true);
  model->CycleAction();
  EXPECT_EQ(S().actionPicture, 4);
  EXPECT_EQ(Targets(1, 3), "100") << "both ways keeps only the first of two users";
  SetTask(1, [](zun::TaskRecord& t) { t.Action = zun::TaskAction::PalmToPc; });
  Restart();
  model->TargetChanged(1, true);  // Palm to PC: one user only
  EXPECT_EQ(Targets(1, 3), "010");
}

// Loading a task stores nothing; an edit by any means counts as typed and names the other side.
TEST_F(EditorTest, LoadingStoresNothingAndAutomaticNamingFollowsTheSourceSide) {
  Start({"Anna"}, 1);
  SetTask(1, zun::TaskAction::BothWays, "10", "/a/b.txt", "memo");
  SetTask(1, [](zun::TaskRecord& t) { t.TabSpace = 99; });
  const zuntest::Bytes before = zuntest::ReadBytes(dir / "zundata.dat");
  Restart();
  EXPECT_EQ(S().palmFileText, "memo") << "no \".pdb\" completed while loading";
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat"), before);
  model->PcFileEdited("/a/c.txt");  // pasted or set by an assistive tool: no key pressed
  EXPECT_EQ(S().palmFileText, "c.pdb") << "both ways: the edited side is the source";

  SetTask(1, zun::TaskAction::PcToPalm, "10");
  Restart();
  model->PcFileEdited("/texts/report.txt");
  EXPECT_EQ(S().palmFileText, "report.pdb");
  EXPECT_EQ(S().rows[0].palmName, "report.pdb");
  EXPECT_EQ(Task(1).PalmFile.Trimmed(), "report.pdb");
  model->TargetChanged(1, true);  // "Custom": the Palm box keeps its folder
  model->PalmFileEdited("/docs/old.pdb");
  model->PcFileEdited("/texts/report2.txt");
  EXPECT_EQ(S().palmFileText, "/docs/report2.pdb");
  model->PalmFileEdited("/texts/old.pdb");
  model->PcFileEdited("/texts/notes.pdb");  // named as its own document it would be overwritten
  EXPECT_EQ(S().palmFileText, "/texts/notes.pdb.pdb");
  model->PalmFileEdited("memo");  // no extension: ".pdb", the caret before it; no folder: the text's
  EXPECT_EQ(S().palmFileText, "/texts/memo.pdb");
  EXPECT_EQ(S().palmCaret, 11u);

  SetTask(1, zun::TaskAction::PalmToPc, "10", "");
  Restart();
  model->PalmFileEdited("notes.pdb");
  EXPECT_EQ(S().pcFileText, files / "notes.txt") << "no default PC folder: the fall-back folder";
  SetRecord(1, [](zun::TaskRecord& t) { t.PcFile = "/defaults/"; });
  model->PcFileEdited("");
  model->PalmFileEdited("notes2.pdb");
  EXPECT_EQ(S().pcFileText, "/defaults/notes2.txt") << "record 1's default PC folder";
  model->PcFileEdited("/work/x.txt");
  model->PalmFileEdited("notes3.pdb");
  EXPECT_EQ(S().pcFileText, "/work/notes3.txt");
  model->AutoNamingClicked(false);
  EXPECT_FALSE(data.Read(1).AutoNaming());
  model->PalmFileEdited("plain");
  EXPECT_EQ(S().palmFileText, "plain");
  EXPECT_EQ(S().pcFileText, "/work/notes3.txt");
}

TEST_F(EditorTest, TheFileInformationSaysWhatAPathNames) {
  Start({"Anna", "Bert", "Cleo"}, 1);
  SetTask(1, zun::TaskAction::PalmToPc, "0010");
  Restart();
  zuntest::WriteText(files / "empty.txt", "");
  zuntest::WriteText(files / "big.txt", std::string(12345, 'x'));
  std::tm midnight{};
  midnight.tm_year = 120;
  midnight.tm_mday = 1;
  midnight.tm_isdst = -1;
  zuntest::SetModificationTime(files / "big.txt", std::mktime(&midnight));
  const std::string& folder = files.Path();
  for (const auto& [path, info] : std::vector<std::pair<std::string, std::string>>{
           {folder, "Browse or Enter Filename"},
           {folder.substr(0, folder.size() - 1), zun::kInfoFolder},  // a folder, typed without "/"
           {files / "missing.txt", "New File"},
           {files / "empty.txt", "DATE TIME\r\n0 Byte"},
           {files / "big.txt", "DATE\r\n12,345 Byte"},  // no time at exact midnight
           {files / (std::string(300, 'n') + ".txt"), "no valid Filename or Path"}}) {
    model->PcFileEdited(path);
    EXPECT_EQ(S().pcFileInfo, info) << path;
  }
  zuntest::WriteText(users.BackupDir(2) + "notes.pdb", "abc");
  model->PalmFileEdited("notes.pdb");  // looked for in the third user's backup folder
  EXPECT_EQ(S().palmFileInfo, "DATE TIME\r\n3 Byte");
}

// A path too long for the record is refused: the box keeps it, the record the last name that fitted.
TEST_F(EditorTest, APathTooLongForTheRecordIsRefused) {
  Start({}, 1);
  SetTask(1, [](zun::TaskRecord& t) { t.PalmFile = "/docs/notes.pdb"; });  // "Custom": a whole path
  Restart();
  model->PcFileEdited("/short.txt");
  const std::string longPath = "/" + std::string(600, 'p') + ".txt";
  model->PcFileEdited(longPath);
  EXPECT_EQ(S().pcFileText, longPath);
  EXPECT_EQ(S().pcFileInfo, zun::kInfoTooLong);
  EXPECT_EQ(Task(1).PcFile.Trimmed(), "/short.txt");
  EXPECT_EQ(S().rows[0].pcName, "short.txt");
  model->PalmFileEdited("/docs/" + std::string(600, 'd') + ".pdb");
  EXPECT_EQ(S().palmFileInfo, zun::kInfoTooLong);
  EXPECT_EQ(Task(1).PalmFile.Trimmed(), "/docs/notes.pdb");
  const std::string fits = "/" + std::string(507, 'f') + ".txt";  // 512 bytes
  model->PcFileEdited(fits);
  EXPECT_EQ(Task(1).PcFile.Trimmed(), fits);

  // Typed key by key, a path passes the limit with a cut of itself stored and named after: both
  // names go back to what they were before the typing. A folder names no document.
  SetTask(1, zun::TaskAction::PcToPalm, "1", "/texts/a.txt", "/docs/a.pdb");
  Restart();
  std::string typed = "/texts/a.txt";
  for (const char c : "/" + std::string(520, 'd') + "/") model->PcFileEdited(typed += c);
  EXPECT_EQ(S().pcFileInfo, zun::kInfoTooLong);
  EXPECT_EQ(Task(1).PcFile.Trimmed(), "/texts/a.txt");
  EXPECT_EQ(Task(1).PalmFile.Trimmed(), "/docs/a.pdb");
  EXPECT_EQ(S().palmFileText, "/docs/a.pdb");
  EXPECT_EQ(S().rows[0].palmName, "a.pdb");
  model->PcFileEdited("/texts/");
  EXPECT_EQ(S().palmFileText, "/docs/a.pdb");
}

// Without J-Pilot ("Custom" alone) a document named without a folder, and without a text whose
// folder it takes (see above), goes into the user's documents folder: never into the data folder.
TEST_F(EditorTest, ADocumentWithoutAFolderGoesIntoTheDocuments) {
  for (const char* folder : {"Docs", ".config"}) std::filesystem::create_directories(files / folder);
  zuntest::WriteText(files / ".config/user-dirs.dirs", "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n");
  Start();
  SetRecord(1, [](zun::TaskRecord& t) { t.Action = zun::TaskAction::PcToPalm; });
  model->AddTask();
  model->PalmFileEdited("m");  // the first key typed
  EXPECT_EQ(S().palmFileText, files / "Docs/m.pdb");
  EXPECT_EQ(Task(1).PalmFile.Trimmed(), files / "Docs/m.pdb");
  std::filesystem::remove_all(files / "Docs");  // gone: the home folder
  model->PalmFileEdited("");
  model->PalmFileEdited("n.pdb");
  EXPECT_EQ(Task(1).PalmFile.Trimmed(), files / "n.pdb");
}

TEST_F(EditorTest, BrowsingStartsWhereTheFileIsExpected) {
  Start({"Anna", "Bert"}, 1);
  SetTask(1, [](zun::TaskRecord& t) { t.Targets = "01"; });
  Restart();
  model->PcFileEdited("notes");
  dialogs.answer = zun::FileDialogResult{"/texts/chosen.txt", 2};
  model->BrowsePcFile(dialogs);
  ASSERT_EQ(dialogs.requests.size(), 1u);
  const zun::FileDialogRequest& asked = dialogs.requests[0];
  EXPECT_EQ(std::tuple(asked.title, asked.startFolder, asked.fileName, asked.filterIndex),
            std::tuple("Open PC-File", "", "notes", 1));
  EXPECT_EQ(S().pcFileText, "/texts/chosen.txt");
  EXPECT_EQ(data.Read(1).PcFilterIndex, 2);
  EXPECT_EQ(S().lastEditedSide, zun::kPcSide);

  dialogs.answer = zun::FileDialogResult{"/elsewhere/doc.pdb", 3};
  model->BrowsePalmFile(dialogs);
  EXPECT_EQ(dialogs.requests[1].title, "Open Palm-File from Bert");
  EXPECT_EQ(dialogs.requests[1].startFolder, users.BackupDir(1));
  EXPECT_EQ(S().palmFileText, "doc.pdb") << "only the name stays for a user";
  EXPECT_EQ(data.Read(1).PalmFilterIndex, 3);

  model->TargetChanged(2, true);
  dialogs.answer = zun::FileDialogResult{"/custom/place/x.pdb", 1};
  model->BrowsePalmFile(dialogs);
  EXPECT_EQ(dialogs.requests.back().title, "Open Palm-File from Custom Directory");
  EXPECT_EQ(S().palmFileText, "/custom/place/x.pdb");
  EXPECT_EQ(Task(1).PalmFile.Trimmed(), "/custom/place/x.pdb");
}

// Cancelling a dialog changes nothing but the information box: with Auto Naming on, no name is
// made for the other side (it could name a file that the next Convert overwrites), nothing is
// stored, in either mode.
TEST_F(EditorTest, ACancelledBrowseChangesNothing) {
  Start({"Anna"}, 1);
  SetTask(1, zun::TaskAction::BothWays, "01", files / "notes.txt", files / "mine.pdb");  // names of its own
  SetRecord(2, [](zun::TaskRecord& t) { t.PalmFile = "clip"; });  // Auto Naming would add ".pdb"
  Restart();
  ASSERT_TRUE(S().autoNaming);
  zuntest::WriteText(files / "notes.txt", "new text!");
  const zuntest::Bytes before = zuntest::ReadBytes(dir / "zundata.dat");
  model->BrowsePcFile(dialogs);
  EXPECT_EQ(S().pcFileInfo, "DATE TIME\r\n9 Byte") << "the information is brought up to date";
  model->BrowsePalmFile(dialogs);
  EXPECT_EQ(S().pcFileText, files / "notes.txt");
  EXPECT_EQ(S().palmFileText, files / "mine.pdb");
  EXPECT_TRUE(zuntest::ReadBytes(dir / "zundata.dat") == before) << "nothing stored";

  model->ToggleClipSettings();
  model->BrowsePcFile(dialogs);  // the PC side is the clipboard: no dialog
  model->BrowsePalmFile(dialogs);
  EXPECT_EQ(dialogs.requests.size(), 3u);
  EXPECT_EQ(S().palmFileText, "clip");
  EXPECT_TRUE(zuntest::ReadBytes(dir / "zundata.dat") == before) << "nothing stored";
}

}  // namespace
