// The task list: start-up, adding, deleting, selection, the "Sync" cell, scrolling, the run.
#include "editor/editor_fixture.h"


using zuntest::EditorTest;

namespace {

TEST_F(EditorTest, AddingATaskStopsThePulseAndLoadsTheDefaults) {
  Start();
  model->TimerTick();
  EXPECT_TRUE(S().newButtonEnlarged);
  model->AddTask();
  EXPECT_FALSE(S().timerRunning);
  EXPECT_FALSE(S().newButtonEnlarged) << "back to normal size";
  EXPECT_TRUE(S().controls.convert);
  ASSERT_EQ(S().rows.size(), 1u);
  EXPECT_EQ(S().selected, 1);
  EXPECT_EQ(S().actionPicture, 1);
  EXPECT_EQ(S().statusText, std::string(64, ' '));
  EXPECT_EQ(S().installChecks, std::vector<bool>{true}) << "Targets \"1\" checks \"Custom\"";
  EXPECT_EQ(S().tabSpaceText, "4");
  EXPECT_EQ(S().optionChecks, (std::array<bool, 7>{true, true, false, false, false, false, true}));
  EXPECT_TRUE(S().controls.action);
  EXPECT_FALSE(S().controls.pcFileLocked);
  EXPECT_EQ(Task(1).PcDate, 0.0);
  EXPECT_EQ(Task(1).Options.str(), std::string("11    1") + std::string(25, ' ')) << "loading stored nothing";
}

TEST_F(EditorTest, DeletingSelectsTheRowThatTakesItsPlace) {
  Start({}, 3);
  for (int row = 1; row <= 3; ++row) {
    model->SelectRow(row);
    model->PcFileEdited("/t/" + std::to_string(row) + ".txt");
  }
  model->DeleteTask();  // the last row: the new last row is selected
  EXPECT_EQ(S().selected, 2);
  EXPECT_EQ(S().pcFileText, "/t/2.txt");
  model->SelectRow(1);
  model->DeleteTask();  // row 1 of several: the new row 1
  EXPECT_EQ(S().selected, 1);
  EXPECT_EQ(S().pcFileText, "/t/2.txt");
  EXPECT_EQ(Task(1).PcFile.Trimmed(), "/t/2.txt");
  model->DeleteTask();  // the only task
  EXPECT_EQ(S().selected, 0);
  EXPECT_TRUE(S().rows.empty());
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat").size(), 2416u);
  EXPECT_TRUE(S().timerRunning);
  EXPECT_EQ(S().actionPicture, zun::kNoTaskPicture);
}

TEST_F(EditorTest, TheSyncCellCyclesTheDirection) {
  Start({"Anna", "Bert"}, 2);
  const zun::ColumnLayout layout = zun::ColumnsForWidth(6060);  // W 6000, F 2750
  ASSERT_EQ(layout.fileWidth, 2750);
  SetTask(1, [](zun::TaskRecord& t) { t.Action = zun::TaskAction::BothWays; });
  Restart(2);
  EXPECT_EQ(model->ClickItem(1, 2750, 6060), zun::ListColumn::Sync);  // exactly F: "Sync"
  EXPECT_EQ(Task(1).Action, zun::TaskAction::NoConversion) << "after 4 comes 1";
  EXPECT_EQ(S().selected, 1);
  EXPECT_EQ(model->ClickItem(1, 2749, 6060), zun::ListColumn::PcFile);
  EXPECT_EQ(model->ClickItem(1, 3250, 6060), zun::ListColumn::Sync) << "W - F";
  EXPECT_EQ(model->ClickItem(1, 3251, 6060), zun::ListColumn::PalmFile);
  EXPECT_EQ(Task(1).Action, zun::TaskAction::PalmToPc);

  // Action 2 with two users checked becomes 3 and keeps both; from 1 it becomes 2 and keeps the first.
  SetTask(2, zun::TaskAction::PalmToPc, "110");
  Restart(1);
  model->ClickItem(2, 3000, 6060);
  EXPECT_EQ(Task(2).Action, zun::TaskAction::PcToPalm);
  EXPECT_EQ(Targets(2, 3), "110");
  SetTask(2, [](zun::TaskRecord& t) { t.Action = zun::TaskAction::NoConversion; });
  Restart(1);
  model->ClickItem(2, 3000, 6060);
  EXPECT_EQ(Task(2).Action, zun::TaskAction::PalmToPc);
  EXPECT_EQ(Targets(2, 3), "100");
  EXPECT_EQ(S().installChecks, (std::vector<bool>{true, false, false}));
}

TEST_F(EditorTest, ASyncClickOnAnotherRowUsesThatRowsTargets) {
  Start({"Anna", "Bert"}, 2);
  SetTask(1, zun::TaskAction::PcToPalm, "110");
  SetTask(2, zun::TaskAction::NoConversion, "010");
  Restart(1);
  model->ClickItem(2, 3000, 6060);
  EXPECT_EQ(Targets(2, 3), "010") << "row 1's check marks must not reach row 2";
  EXPECT_EQ(Targets(1, 3), "110");
}

TEST_F(EditorTest, ScrollingFollowsTheKeysAtThePageEdges) {
  Start({}, 5);
  model->SetRowsPerPage(3);
  model->FinishStart();
  EXPECT_EQ(zun::ScrollRangeFor(2, 3).maximum, 1) << "fewer rows than a page";
  EXPECT_EQ(S().scroll.maximum, 3);
  EXPECT_EQ(S().scroll.largeChange, 2);
  model->ScrollTo(1);
  model->SelectRow(3);
  model->KeyDown(zun::ListKey::Down);  // the last visible row
  EXPECT_EQ(S().top, 2);
  EXPECT_EQ(S().selected, 4);
  model->KeyDown(zun::ListKey::Down);
  model->KeyDown(zun::ListKey::Down);  // the last task: nothing more to scroll
  EXPECT_EQ(S().top, 3);
  EXPECT_EQ(S().selected, 5);
  model->KeyDown(zun::ListKey::Up);
  model->KeyDown(zun::ListKey::Up);
  model->KeyDown(zun::ListKey::Up);  // the top visible row
  EXPECT_EQ(S().top, 2);
  EXPECT_EQ(S().selected, 2);
}

TEST_F(EditorTest, ASelectionScrolledOutOfViewClearsTheEditorButChangesNoTask) {
  Start({}, 5);
  model->SetRowsPerPage(2);
  model->FinishStart();
  model->SelectRow(1);
  model->PcFileEdited("/t/one.txt");
  model->ScrollTo(3);
  EXPECT_EQ(S().pcFileText, "");
  EXPECT_EQ(S().actionPicture, zun::kNoTaskPicture);
  EXPECT_FALSE(S().controls.action);
  EXPECT_EQ(Task(1).PcFile.Trimmed(), "/t/one.txt");
  model->DeleteTask();
  EXPECT_EQ(S().rows.size(), 5u) << "nothing visible is selected: delete does nothing";
}

}  // namespace
