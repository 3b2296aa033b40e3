// The task list: start-up, adding, deleting, selection, the "Sync" cell, scrolling, the run.

#include "editor/editor_fixture.h"
#include "tasks/base_store.h"

using zuntest::EditorTest;

namespace {

TEST_F(EditorTest, AddingLoadsTheDefaultsAndDeletingSelectsTheRowThatTakesItsPlace) {
  Start();
  model->AddTask();
  EXPECT_TRUE(S().controls.convert && !S().controls.pcFileLocked);
  ASSERT_EQ(S().rows.size(), 1u);
  // Selected and loaded: picture 1, no status (no padding shown), "Custom" checked.
  EXPECT_EQ(std::tuple(S().selected, S().actionPicture, S().statusText), std::tuple(1, 1, ""));
  EXPECT_EQ(S().installChecks, std::vector<bool>{true});

  model->AddTask();
  model->AddTask();
  for (int row = 1; row <= 3; ++row) {
    model->SelectRow(row);
    model->PcFileEdited("/t/" + std::to_string(row) + ".txt");
  }
  const auto base = [this](int row) { return std::pair(Task(row).PcFile.Trimmed(), Task(row).PalmFile.Trimmed()); };
  const auto third = base(3);
  for (const auto& [pc, palm] : {base(2), third}) zun::StoreBase(dir.Path(), pc, palm, {"text", "text"});
  model->DeleteTask();  // the last row: the new last row is selected
  EXPECT_EQ(std::pair(S().selected, S().pcFileText), std::pair(2, std::string("/t/2.txt")));
  EXPECT_FALSE(zun::LoadBase(dir.Path(), third.first, third.second)) << "the deleted task's base goes with it";
  EXPECT_TRUE(zun::LoadBase(dir.Path(), base(2).first, base(2).second));
  model->SelectRow(1);
  model->DeleteTask();  // row 1 of several: the new row 1
  EXPECT_EQ(std::pair(S().selected, S().pcFileText), std::pair(1, std::string("/t/2.txt")));
  model->DeleteTask();  // the only task
  EXPECT_TRUE(S().selected == 0 && S().rows.empty() && S().timerRunning);
  EXPECT_EQ(S().actionPicture, zun::kNoTaskPicture);
  const zuntest::Bytes empty = zuntest::ReadBytes(dir / "zundata.dat");
  EXPECT_EQ(empty.size(), 2416u);
  model->PcFileEdited("/a/b.txt");  // no task: the boxes store nothing anywhere
  model->PalmFileEdited("b");
  EXPECT_EQ(zuntest::ReadBytes(dir / "zundata.dat"), empty);
}

// A click in the "Sync" cell cycles that row's direction, with that row's own targets.
TEST_F(EditorTest, TheSyncCellCyclesTheDirectionOfItsRow) {
  Start({"Anna", "Bert"}, 2);
  const zun::ColumnBounds bounds{2750, 3250};  // where the columns really end, whatever their widths
  SetTask(1, [](zun::TaskRecord& t) { t.Action = zun::TaskAction::BothWays; });
  Restart(2);
  EXPECT_EQ(model->ClickItem(1, 2750, bounds), zun::ListColumn::Sync);  // exactly the end of "PC File"
  EXPECT_EQ(Task(1).Action, zun::TaskAction::NoConversion) << "after 4 comes 1";
  EXPECT_EQ(S().selected, 1) << "the row clicked is selected";
  EXPECT_EQ(model->ClickItem(1, 2749, bounds), zun::ListColumn::PcFile);
  EXPECT_EQ(model->ClickItem(1, 3250, bounds), zun::ListColumn::Sync);
  EXPECT_EQ(model->ClickItem(1, 3251, bounds), zun::ListColumn::PalmFile);
  EXPECT_EQ(Task(1).Action, zun::TaskAction::PalmToPc);

  // Action 2 with two users checked becomes 3 and keeps both.
  SetTask(2, zun::TaskAction::PalmToPc, "110");
  Restart(1);
  model->ClickItem(2, 3000, bounds);
  EXPECT_EQ(Task(2).Action, zun::TaskAction::PcToPalm);
  EXPECT_EQ(Targets(2, 3), "110");
  // From 1 it becomes 2 and keeps the first of its own targets; row 1's check marks stay out of it.
  SetTask(1, zun::TaskAction::PcToPalm, "110");
  SetTask(2, zun::TaskAction::NoConversion, "011");
  Restart(1);
  model->ClickItem(2, 3000, bounds);
  EXPECT_EQ(Task(2).Action, zun::TaskAction::PalmToPc);
  EXPECT_EQ(Targets(2, 3), "010");
  EXPECT_EQ(S().installChecks, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(Targets(1, 3), "110");
  EXPECT_EQ(model->RowPath(2, zun::ListColumn::PalmFile), users.BackupDir(1)) << "Bert's folder, no name yet";
}

TEST_F(EditorTest, ScrollingFollowsTheKeysAndTheWindowsSizeAndASelectionOutOfViewClearsTheEditor) {
  Start({}, 5);
  model->SetRowsPerPage(3);
  model->FinishStart();
  EXPECT_EQ(zun::ScrollRangeFor(2, 3).maximum, 1) << "fewer rows than a page";
  EXPECT_EQ(S().scroll.maximum, 3);
  EXPECT_EQ(S().scroll.largeChange, 2);
  model->ScrollTo(1);
  model->SelectRow(3);
  struct Step {
    zun::ListKey key;
    int32_t selected, top;
  };
  using zun::ListKey;
  for (const Step& step : {Step{ListKey::Down, 4, 2},  // the last visible row: one row further
                           Step{ListKey::Down, 5, 3}, Step{ListKey::Down, 5, 3},  // the last task: no more to scroll
                           Step{ListKey::Up, 4, 3}, Step{ListKey::Up, 3, 3}, Step{ListKey::Up, 2, 2},
                           Step{ListKey::Home, 1, 1}, Step{ListKey::PageDown, 3, 1},  // the page's last row
                           Step{ListKey::PageDown, 5, 3}, Step{ListKey::PageUp, 3, 3}, Step{ListKey::PageUp, 1, 1},
                           Step{ListKey::End, 5, 3}}) {
    model->KeyDown(step.key);
    EXPECT_EQ(std::make_pair(S().selected, S().top), std::make_pair(step.selected, step.top));
  }

  model->PcFileEdited("/t/five.txt");
  model->ScrollTo(1);
  EXPECT_TRUE(S().pcFileText.empty() && S().actionPicture == zun::kNoTaskPicture && !S().controls.action);
  EXPECT_EQ(Task(5).PcFile.Trimmed(), "/t/five.txt");
  model->DeleteTask();
  EXPECT_EQ(S().rows.size(), 5u) << "nothing visible is selected: delete does nothing";
  model->SelectRow(5);  // selected again, by whatever means: shown and loaded
  EXPECT_EQ(S().top, 3);
  EXPECT_EQ(S().pcFileText, "/t/five.txt");

  model->PageResized(2);  // the window was made smaller
  EXPECT_EQ(std::make_pair(S().top, S().scroll.maximum), std::make_pair(4, 4)) << "the selected task stays in view";
  model->ScrollTo(1);
  model->PageResized(5);  // and larger: all rows fit
  EXPECT_EQ(std::make_pair(S().top, S().scroll.maximum), std::make_pair(1, 1));
  EXPECT_EQ(S().pcFileText, "/t/five.txt") << "in view again: shown";
}

TEST_F(EditorTest, ARunFreezesTheEditorAndAnExitWaitsForTheEndOfAnyConversion) {
  Start({}, 2);
  EXPECT_EQ(model->ConvertClicked(), zun::ConvertRequest::StartRun);
  model->ShowTask(2);
  model->SelectRow(1);  // an assistive tool selecting in the locked list
  EXPECT_EQ(S().selected, 2);
  EXPECT_FALSE(S().controls.action || S().controls.options || S().controls.list || S().controls.exit);
  EXPECT_FALSE(model->RequestExit()) << "the run ends after its current task first";
  EXPECT_TRUE(flags.stopRequested);
  EXPECT_TRUE(model->EndRun()) << "then the exit is due";
  EXPECT_TRUE(S().controls.action && S().controls.list);
  EXPECT_FALSE(flags.stopRequested);

  EXPECT_TRUE(model->BeginClipboardConversion());
  EXPECT_FALSE(model->BeginClipboardConversion()) << "one at a time";
  EXPECT_EQ(model->ConvertClicked(), zun::ConvertRequest::Nothing);
  EXPECT_FALSE(model->RequestExit());
  EXPECT_TRUE(model->EndClipboardConversion());
  EXPECT_FALSE(flags.stopRequested) << "nothing lingers";
  EXPECT_EQ(model->ConvertClicked(), zun::ConvertRequest::StartRun);
  EXPECT_FALSE(model->EndRun()) << "the exit was carried out once";
  EXPECT_TRUE(model->RequestExit());
}

}  // namespace
