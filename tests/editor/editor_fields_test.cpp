// The editor's fields: direction, options, number boxes, targets, naming, file information,
// browsing, switches.
#include <fstream>

#include "editor/editor_fixture.h"

using zuntest::EditorTest;

namespace {

TEST_F(EditorTest, TheDirectionPictureCyclesAndKeepsOneTargetWhenNeeded) {
  Start({"Anna", "Bert"}, 1);
  SetTask(1, zun::TaskAction::PcToPalm, "110");
  Restart();
  model->CycleAction();
  EXPECT_EQ(S().actionPicture, 4);
  EXPECT_EQ(S().rows[0].action, zun::TaskAction::BothWays);
  EXPECT_EQ(Targets(1, 3), "100") << "both ways keeps only the first of two users";
  for (int i = 0; i < 3; ++i) model->CycleAction();
  EXPECT_EQ(Task(1).Action, zun::TaskAction::PcToPalm) << "four clicks come back";
}

TEST_F(EditorTest, AnOptionChangesItsOwnCharacterOnly) {
  Start({}, 1);
  model->OptionChanged(zun::kOptStripHtml, true);
  EXPECT_EQ(Task(1).Options.str().substr(0, 4), "111 ");
  model->OptionChanged(zun::kOptCompress, false);
  EXPECT_EQ(Task(1).Options.str().substr(0, 4), "011 ");
}

TEST_F(EditorTest, NumberBoxesCorrectOutOfRangeValues) {
  Start({}, 1);
  struct Case {
    std::string typed, shown;
    int16_t stored;
  };
  for (const Case& c : std::vector<Case>{{"100", "10", 10},
                                         {"99", "64", 64},
                                         {"-3", "0", 0},
                                         {"7x", "7x", 7},
                                         {"ab", "ab", 0},
                                         {"", "", 0},
                                         {"8", "8", 8}}) {
    model->TabSpaceEdited(c.typed);
    EXPECT_EQ(S().tabSpaceText, c.shown) << c.typed;
    EXPECT_EQ(Task(1).TabSpace, c.stored) << c.typed;
  }
  for (const Case& c : std::vector<Case>{{"20", "15", 15}, {".5", ".5", 0}, {".6", ".6", 1}, {"2.5", "2.", 2}}) {
    model->CategoryEdited(c.typed);
    EXPECT_EQ(S().categoryText, c.shown) << c.typed;
    EXPECT_EQ(Task(1).Category, c.stored) << c.typed;
  }
}

TEST_F(EditorTest, TargetRulesOutsideClipSettings) {
  Start({"Anna", "Bert"}, 1);
  SetTask(1, [](zun::TaskRecord& t) {
    t.Action = zun::TaskAction::PcToPalm;
    t.Targets = "110";
    t.PalmFile = "notes.pdb";
  });
  Restart();
  EXPECT_EQ(S().palmFileInfo, "Distribute Mode");
  model->TargetChanged(2, true);  // "Custom" alone
  EXPECT_EQ(S().installChecks, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(Targets(1, 3), "001");
  EXPECT_EQ(S().palmFileText, files / "notes.pdb") << "a full path in the fall-back folder";
  EXPECT_EQ(Task(1).PalmFile.Trimmed(), files / "notes.pdb");
  model->TargetChanged(0, true);
  EXPECT_EQ(S().palmFileText, "notes.pdb") << "a bare name for a user";
  EXPECT_EQ(Targets(1, 3), "100");
  model->TargetChanged(1, true);  // PC to Palm: several users
  EXPECT_EQ(Targets(1, 3), "110");
  model->TargetChanged(1, false);
  model->TargetChanged(0, false);  // the last checked one stays
  EXPECT_EQ(S().installChecks, (std::vector<bool>{true, false, false}));
  EXPECT_EQ(Targets(1, 3), "100");

  SetTask(1, [](zun::TaskRecord& t) { t.Action = zun::TaskAction::PalmToPc; });
  Restart();
  model->TargetChanged(1, true);  // Palm to PC: one user only
  EXPECT_EQ(Targets(1, 3), "010");
}

TEST_F(EditorTest, NamingFollowsTheSourceSide) {
  Start({"Anna"}, 1);
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

  SetTask(1, [](zun::TaskRecord& t) {
    t.Action = zun::TaskAction::PalmToPc;
    t.Targets = "10";
    t.PcFile = "";
  });
  Restart();
  model->PalmFileEdited("notes.pdb");
  EXPECT_EQ(S().pcFileText, files / "notes.txt") << "blank default PC folder: the fall-back folder";
  model->PcFileEdited("/work/x.txt");
  model->PalmFileEdited("notes2.pdb");
  EXPECT_EQ(S().pcFileText, "/work/notes2.txt");
}

TEST_F(EditorTest, APalmNameWithoutExtensionGetsPdb) {
  Start({}, 1);
  model->PalmFileEdited("memo");
  EXPECT_EQ(S().palmFileText, "memo.pdb");
  EXPECT_EQ(S().palmCaret, 4u);
  model->PalmFileEdited("dir/");
  EXPECT_EQ(S().palmFileText, "dir/");
  model->PalmFileEdited("memo.txt");
  EXPECT_EQ(S().palmFileText, "memo.txt");
  model->AutoNamingClicked(false);
  EXPECT_EQ(data.Read(1).Flag1, 0);
  model->PalmFileEdited("plain");
  EXPECT_EQ(S().palmFileText, "plain");
}

TEST_F(EditorTest, LoadingStoresNothingAndAnEditByAnyMeansCountsAsTyped) {
  Start({}, 1);
  SetTask(1, [](zun::TaskRecord& t) {
    t.Action = zun::TaskAction::BothWays;
    t.PcFile = "/a/b.txt";
    t.PalmFile = "memo";
    t.TabSpace = 99;
  });
  const zuntest::Bytes before = zuntest::ReadBytes(dir / "zundata.dat");
  Restart();
  EXPECT_EQ(S().palmFileText, "memo") << "no \".pdb\" completed while loading";
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat"), before);
  model->PcFileEdited("/a/c.txt");  // pasted or set by an assistive tool: no key pressed
  EXPECT_EQ(S().palmFileText, "c.pdb") << "both ways: the edited side is the source";
  SetTask(1, [](zun::TaskRecord& t) { t.Action = zun::TaskAction::NoConversion; });
  Restart();
  model->PcFileEdited("/a/d.txt");
  EXPECT_EQ(S().palmFileText, "c.pdb") << "no naming without a direction";
}

TEST_F(EditorTest, APathTooLongForTheRecordIsRefusedAndKeptInTheBox) {
  Start({"Anna"}, 1);
  SetTask(1, zun::TaskAction::NoConversion, "01");
  Restart();
  model->PcFileEdited("/short.txt");
  const std::string longPath = "/" + std::string(600, 'p') + ".txt";
  model->PcFileEdited(longPath);
  EXPECT_EQ(S().pcFileText, longPath) << "what was typed stays";
  EXPECT_EQ(S().pcFileInfo, zun::kInfoTooLong);
  EXPECT_EQ(Task(1).PcFile.Trimmed(), "/short.txt");
  EXPECT_EQ(S().rows[0].pcName, "short.txt");
  model->PalmFileEdited("/docs/" + std::string(600, 'd') + ".pdb");  // "Custom": the whole path is stored
  EXPECT_EQ(S().palmFileInfo, zun::kInfoTooLong);
  EXPECT_EQ(Task(1).PalmFile.Trimmed(), "");
  const std::string fits = "/" + std::string(507, 'f') + ".txt";  // 512 bytes
  model->PcFileEdited(fits);
  EXPECT_EQ(Task(1).PcFile.Trimmed(), fits);
}

TEST_F(EditorTest, AnEmptyListStoresNoFileNames) {
  Start();
  model->PcFileEdited("/a/b.txt");
  model->PalmFileEdited("b");
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat").size(), 2416u);
  EXPECT_EQ(data.Read(1).PcFile.Trimmed(), "");
}

TEST_F(EditorTest, FileInformationTexts) {
  Start({"Anna", "Bert", "Cleo"}, 1);
  SetTask(1, zun::TaskAction::PalmToPc, "0010");
  Restart();
  model->PcFileEdited(files.Path());
  EXPECT_EQ(S().pcFileInfo, "Browse or Enter Filename");
  model->PcFileEdited(files.Path().substr(0, files.Path().size() - 1));  // a folder, typed without "/"
  EXPECT_EQ(S().pcFileInfo, zun::kInfoFolder);
  model->PcFileEdited(files / "missing.txt");
  EXPECT_EQ(S().pcFileInfo, "New File");
  zuntest::WriteText(files / "empty.txt", "");
  model->PcFileEdited(files / "empty.txt");
  EXPECT_EQ(S().pcFileInfo, "DATE TIME\r\n0 Byte");
  zuntest::WriteText(files / "big.txt", std::string(12345, 'x'));
  zuntest::SetModificationTime(files / "big.txt", [] {
    std::tm midnight{};
    midnight.tm_year = 120;
    midnight.tm_mday = 1;
    midnight.tm_isdst = -1;
    return std::mktime(&midnight);
  }());
  model->PcFileEdited(files / "big.txt");
  EXPECT_EQ(S().pcFileInfo, "DATE\r\n12,345 Byte") << "no time at exact midnight";
  model->PcFileEdited(files / (std::string(300, 'n') + ".txt"));  // longer than a name may be
  EXPECT_EQ(S().pcFileInfo, "no valid Filename or Path");

  zuntest::WriteText(users.BackupDir(2) + "notes.pdb", "abc");
  model->PalmFileEdited("notes.pdb");  // looked for in the third user's backup folder
  EXPECT_EQ(S().palmFileInfo, "DATE TIME\r\n3 Byte");
}

TEST_F(EditorTest, BrowsingStartsWhereTheFileIsExpected) {
  Start({"Anna", "Bert"}, 1);
  SetTask(1, [](zun::TaskRecord& t) { t.Targets = "01"; });
  Restart();
  model->PcFileEdited("notes");
  dialogs.answer = zun::FileDialogResult{"/texts/chosen.txt", 2};
  model->BrowsePcFile(dialogs);
  ASSERT_EQ(dialogs.requests.size(), 1u);
  EXPECT_EQ(dialogs.requests[0].title, "Open PC-File");
  EXPECT_EQ(dialogs.requests[0].startFolder, "");
  EXPECT_EQ(dialogs.requests[0].fileName, "notes");
  EXPECT_EQ(dialogs.requests[0].filterIndex, 1);
  EXPECT_EQ(S().pcFileText, "/texts/chosen.txt");
  EXPECT_EQ(data.Read(1).PcFilterIndex, 2);
  EXPECT_EQ(S().lastEditedSide, zun::kPcSide);

  dialogs.answer = zun::FileDialogResult{"/elsewhere/doc.pdb", 3};
  model->BrowsePalmFile(dialogs);
  EXPECT_EQ(dialogs.requests[1].title, "Open Palm-File from Bert");
  EXPECT_EQ(dialogs.requests[1].startFolder, users.BackupDir(1));
  EXPECT_EQ(S().palmFileText, "doc.pdb") << "only the name stays for a user";
  EXPECT_EQ(data.Read(1).PalmFilterIndex, 3);

  dialogs.answer.reset();  // cancelled: nothing stored but the refresh
  model->BrowsePalmFile(dialogs);
  EXPECT_EQ(data.Read(1).PalmFilterIndex, 3);
  EXPECT_EQ(S().palmFileText, "doc.pdb");

  model->TargetChanged(2, true);
  dialogs.answer = zun::FileDialogResult{"/custom/place/x.pdb", 1};
  model->BrowsePalmFile(dialogs);
  EXPECT_EQ(dialogs.requests.back().title, "Open Palm-File from Custom Directory");
  EXPECT_EQ(S().palmFileText, "/custom/place/x.pdb");
  EXPECT_EQ(Task(1).PalmFile.Trimmed(), "/custom/place/x.pdb");
}

}  // namespace
