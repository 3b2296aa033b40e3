// The run over all tasks: order, outcome symbols, records written back, stopping.
#include "tasks/conversion_run.h"

#include <gtest/gtest.h>

#include "convert/status_texts.h"
#include "record/data_file.h"
#include "support/test_support.h"

using zuntest::ConversionSetup;

namespace {

class ConversionRun : public ::testing::Test {
 protected:
  ConversionSetup s;
  zun::DataFile data{s.programDir.Path()};

  void SetUp() override {
    data.OpenAndCheck();
    s.host.onShowTask = [this](int32_t row) {
      s.host.checks = zun::ChecksFromTargets(data.Read(zun::TaskRecordNumber(row)).Targets, 1);
    };
  }
  // Adds a PC-to-Palm task whose text exists.
  void AddTextTask(const std::string& name) {
    zuntest::WriteText(s.files / (name + ".txt"), "text of " + name);
    zuntest::AddTask(data, zun::TaskAction::PcToPalm, s.files / (name + ".txt"), s.files / (name + ".pdb"));
  }
  std::optional<std::string> Run() {
    zun::ConversionEnv env = s.Env();
    env.data = &data;
    return zun::RunAllTasks(data, env, s.host);
  }
};

TEST_F(ConversionRun, CarriesOutEveryTaskInOrderAndWritesItBack) {
  AddTextTask("a");
  AddTextTask("b");
  zun::TaskRecord idle = data.Read(zuntest::AddTask(data, zun::TaskAction::NoConversion, "", ""));
  idle.Status = "Error: Palm File corrupt";  // no conversion: its stored status is shown
  data.Write(5, idle);

  EXPECT_FALSE(Run().has_value());
  EXPECT_EQ(s.host.shownRows, (std::vector<int32_t>{1, 2, 3}));
  ASSERT_EQ(s.host.outcomes.size(), 3u);
  EXPECT_EQ(s.host.outcomes[0].symbol, " OK");
  EXPECT_EQ(s.host.outcomes[2].symbol, " ?");
  EXPECT_EQ(data.Read(3).Status.Trimmed(), "OK");
  EXPECT_GT(data.Read(4).PcDate, 0.0);
  EXPECT_TRUE(zuntest::Exists(s.files / "b.pdb"));
}

TEST_F(ConversionRun, StopDuringTheFirstOfThreeTasksEndsAfterIt) {
  AddTextTask("a");
  AddTextTask("b");
  AddTextTask("c");
  const zun::TaskRecord secondBefore = data.Read(4);
  s.host.onLetEventsRun = [this] {
    if (s.host.shownRows.size() == 1) s.flags.stopRequested = true;  // the button, pressed once
  };
  Run();
  EXPECT_EQ(s.host.shownRows, std::vector<int32_t>{1});
  EXPECT_EQ(data.Read(3).Status.Trimmed(), "OK") << "the current task completes";
  EXPECT_EQ(data.Read(4), secondBefore);
  EXPECT_FALSE(zuntest::Exists(s.files / "b.pdb"));
  EXPECT_FALSE(s.flags.stopRequested) << "cleared for the next run";
}

}  // namespace
