#include "convert/conversion_env.h"

#include <cmath>

#include "glue/byte_file.h"
#include "glue/dates.h"
#include "glue/file_system.h"
#include "record/data_file.h"

namespace zun {

PromptAnswer AskBeforeOverwrite(ConversionEnv& env, const std::string& question, const std::string& path) {
  const OverwriteAnswer answer = env.host.OverwritePrompt(question, path);
  if (answer.doNotAskAgain) {
    env.host.SetAskOverwrite(false);
    if (env.data != nullptr) {
      TaskRecord settings = env.data->Read(kSettingsRecord);
      settings.SetAskOverwrite(false);
      env.data->Write(kSettingsRecord, settings);
    }
  }
  switch (answer.result) {
    case PromptAnswer::Overwrite:
    case PromptAnswer::Skip:
      return answer.result;
    default:
      return PromptAnswer::Stop;
  }
}

void FailWith(TaskRecord& task, const char* status) {
  task.Status = status;
  throw AlreadyReported{};
}

double StampOf(const std::string& path) {
  const auto time = ModificationTime(path);
  if (!time) throw FileError("no modification time for " + path);
  return ToAutomationDate(*time);
}

bool ReplacesWithoutAsking(ConversionEnv& env) { return env.flags.sideChosen || !env.host.AskOverwrite(); }

int32_t ProgressFrame(int32_t i, int32_t n) {
  const float step = static_cast<float>(n) / 8.0f;
  const long rounded = std::lrint(static_cast<float>(i) / step);  // the default rounding: halves to even
  return static_cast<int32_t>(rounded % 8) + 1;
}

}  // namespace zun
