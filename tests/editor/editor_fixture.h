// A started editor model over a data file in a temporary folder.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "editor/editor_model.h"
#include "support/test_support.h"

namespace zuntest {

class EditorTest : public ::testing::Test {
 protected:
  TempDir dir;
  TempDir files;
  ScopedEnv home{"HOME", files.Path()};  // the fall-back folder
  ScopedEnv config{"XDG_CONFIG_HOME", files / ".config"};  // user-dirs.dirs: the documents folder
  ScopedEnv documents{"XDG_DOCUMENTS_DIR", ""};
  zun::DataFile data{dir.Path()};
  FakeUsers users;
  zun::RunFlags flags;
  std::unique_ptr<zun::EditorModel> model;
  ScriptedDialogs dialogs;

  // Starts with the given users (none: only "Custom") and `tasks` tasks added through the model.
  void Start(const std::vector<std::string>& userNames = {}, int tasks = 0) {
    users.desktop = files.Path();
    for (size_t i = 0; i < userNames.size(); ++i) users.AddUser(static_cast<int32_t>(100 + i), userNames[i]);
    Restart(0);
    for (int i = 0; i < tasks; ++i) model->AddTask();
  }
  // Starts the window again on the same data file, with `row` selected (0: the row the start selects).
  void Restart(int32_t row = 1) {
    model = std::make_unique<zun::EditorModel>(data, users, flags);
    model->formatDate = [](std::time_t, bool withTime) { return withTime ? std::string("DATE TIME") : "DATE"; };
    model->Open();
    model->FinishStart();
    model->SelectRow(row);
  }
  const zun::EditorState& S() const { return model->State(); }
  zun::TaskRecord Task(int32_t row) const { return data.Read(row + 2); }
  void SetRecord(int32_t number, const std::function<void(zun::TaskRecord&)>& change) {
    ChangeRecord(data, number, change);
  }
  void SetTask(int32_t row, const std::function<void(zun::TaskRecord&)>& change) { SetRecord(row + 2, change); }
  // The direction and targets of task `row`, and its files when given.
  void SetTask(int32_t row, zun::TaskAction action, const std::string& targets,
               const std::optional<std::string>& pc = {}, const std::optional<std::string>& palm = {}) {
    SetTask(row, [&](zun::TaskRecord& t) {
      t.Action = action;
      t.Targets = targets;
      if (pc) t.PcFile = *pc;
      if (palm) t.PalmFile = *palm;
    });
  }
  std::string Targets(int32_t row, size_t n) const { return Task(row).Targets.str().substr(0, n); }
};

}  // namespace zuntest
