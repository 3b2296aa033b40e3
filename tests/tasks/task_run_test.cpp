// Both-ways tasks: which side changed, the 5-second rule, never-set stamps, the both-changed prompt.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

#include <cstdio>

#include "convert/status_texts.h"
#include "convert/text_to_document.h"
#include "glue/dates.h"
#include "pdb/pdb_file.h"
#include "support/test_support.h"
#include "tasks/task_run.h"

using zuntest::ConversionSetup;

namespace {

constexpr std::time_t kStampTime = 1700000000;

class BothWays : public ::testing::Test {
 protected:
  ConversionSetup s;
  std::string text = s.files / "notes.txt";
  std::string document = s.files / "notes.pdb";

  // A task whose last run left both files at kStampTime.
  zun::TaskRecord SyncedTask() {
    zuntest::WriteText(text, "text side");
    zun::TaskRecord task = s.Task(zun::TaskAction::PcToPalm, text, document);
    zun::ConversionEnv env = s.Env();
    zun::ConvertTextToDocument(task, env);
    EXPECT_EQ(task.Status.Trimmed(), "OK");
    zuntest::SetModificationTime(text, kStampTime);
    zuntest::SetModificationTime(document, kStampTime);
    task.PcDate = zun::ToAutomationDate(kStampTime);
    task.PalmDate = zun::ToAutomationDate(kStampTime);
    task.Action = zun::TaskAction::BothWays;
    return task;
  }
  std::string Run(zun::TaskRecord& task) {
    zun::ConversionEnv env = s.Env();
    zun::RunTask(task, env);
    return task.Status.Trimmed();
  }
};

TEST(SideChanged, FiveSecondsIsStillTheSame) {
  const double stamp = zun::ToAutomationDate(kStampTime);
  EXPECT_FALSE(zun::SideChanged(stamp, kStampTime));
  EXPECT_FALSE(zun::SideChanged(stamp, kStampTime + 5));
  EXPECT_FALSE(zun::SideChanged(stamp, kStampTime - 5));
  EXPECT_TRUE(zun::SideChanged(stamp, kStampTime + 6));
  EXPECT_TRUE(zun::SideChanged(stamp, kStampTime - 6));
  EXPECT_TRUE(zun::SideChanged(0.0, kStampTime)) << "a stamp never set";
}

TEST_F(BothWays, NothingChangedNeedsNoUpdate) {
  zun::TaskRecord task = SyncedTask();
  zuntest::SetModificationTime(text, kStampTime + 5);
  EXPECT_EQ(Run(task), zun::status::kNoUpdateNecessary);
}

TEST_F(BothWays, OnlyTheDocumentChangedRewritesTheText) {
  zun::TaskRecord task = SyncedTask();
  zuntest::SetModificationTime(text, kStampTime + 5);
  zuntest::SetModificationTime(document, kStampTime + 6);
  EXPECT_EQ(Run(task), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "text side");
  EXPECT_EQ(s.host.bothChangedPrompts, 0);
  EXPECT_EQ(Run(task), zun::status::kNoUpdateNecessary) << "the new stamps match";
}

TEST_F(BothWays, OnlyTheTextChangedRewritesTheDocument) {
  zun::TaskRecord task = SyncedTask();
  zuntest::WriteText(text, "edited on the PC");
  zuntest::SetModificationTime(text, kStampTime + 60);
  const double oldPalmDate = task.PalmDate;
  EXPECT_EQ(Run(task), "OK");
  EXPECT_NE(task.PalmDate, oldPalmDate);
}

TEST_F(BothWays, AMissingSideIsMadeFromTheOther) {
  zun::TaskRecord task = SyncedTask();
  zuntest::WriteText(s.files / "kept.txt", "x");
  std::remove(document.c_str());
  EXPECT_EQ(Run(task), "OK");
  EXPECT_TRUE(zuntest::Exists(document));
  std::remove(text.c_str());
  EXPECT_EQ(Run(task), "OK");
  EXPECT_EQ(zuntest::ReadText(text), "text side");
  std::remove(text.c_str());
  std::remove(document.c_str());
  EXPECT_EQ(Run(task), zun::status::kBothMissing);
}

TEST_F(BothWays, BothChangedAsksAndFollowsTheAnswer) {
  struct Case {
    zun::PromptAnswer answer;
    const char* status;
    bool stops;
  };
  const Case cases[] = {
      {zun::PromptAnswer::UpdatePc, "OK", false},
      {zun::PromptAnswer::UpdatePalm, "OK", false},
      {zun::PromptAnswer::Skip, zun::status::kUserSkippedTask, false},
      {zun::PromptAnswer::Stop, zun::status::kUserStopped, true},
      {static_cast<zun::PromptAnswer>(0), zun::status::kUserStopped, true},  // closed another way
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.answer));
    s.host.askOverwrite = false;
    zun::TaskRecord task = SyncedTask();
    s.host.askOverwrite = true;
    zuntest::SetModificationTime(text, kStampTime + 100);
    zuntest::SetModificationTime(document, kStampTime + 100);
    s.host.bothChangedAnswers = {c.answer};
    s.flags.stopRequested = false;
    EXPECT_EQ(Run(task), c.status);
    EXPECT_EQ(s.flags.stopRequested, c.stops);
    EXPECT_FALSE(s.flags.sideChosen);
    EXPECT_TRUE(s.host.overwritePrompts.empty()) << "the chosen side replaces without asking";
  }
  EXPECT_EQ(s.host.bothChangedPrompts, 5);
}

TEST_F(BothWays, NeverSetOrImplausibleStampsCountAsChanged) {
  const double never[] = {0, std::nan(""), INFINITY, -INFINITY, 1e300, -1e7};
  for (const double stamp : never) {
    SCOPED_TRACE(stamp);
    zun::TaskRecord task = SyncedTask();
    task.PcDate = stamp;
    task.PalmDate = stamp;
    s.host.bothChangedAnswers = {zun::PromptAnswer::Skip};
    EXPECT_EQ(Run(task), zun::status::kUserSkippedTask);
  }
  EXPECT_EQ(s.host.bothChangedPrompts, static_cast<int>(std::size(never)));
}

TEST_F(BothWays, ChecksComeFirstPcBeforePalm) {
  zun::TaskRecord task = s.Task(zun::TaskAction::BothWays, "", "");
  EXPECT_EQ(Run(task), zun::status::kNoPcFile);
  task.PcFile = text;
  EXPECT_EQ(Run(task), zun::status::kNoPalmFile);
  s.host.checks = zun::TargetChecks{{false}};
  EXPECT_EQ(Run(task), zun::status::kNoUser);
}

TEST_F(BothWays, AConversionErrorIsTheOutcome) {
  zun::TaskRecord task = SyncedTask();
  zuntest::WriteBytes(document, zuntest::MakeDatabase({zun::MakeDocInfo(1, 1, false), {'x'}}, "Data"));
  zuntest::SetModificationTime(document, kStampTime + 60);
  EXPECT_EQ(Run(task), zun::status::kUnsupportedType);
  EXPECT_EQ(zuntest::ReadText(text), "text side");
}

}  // namespace
