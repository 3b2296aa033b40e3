#include "tasks/unattended.h"

#include <utility>

#include "convert/status_texts.h"
#include "convert/utf8.h"
#include "glue/paths.h"

namespace zun {
namespace {

constexpr size_t kNoticeLines = 5;

// A notification server may read the body as markup, and D-Bus carries only UTF-8: a file name in
// another encoding, or with a control character, shows U+FFFD in place of what it cannot show.
std::string Shown(const std::string& text) {
  static constexpr const char* kReplacement = "\xEF\xBF\xBD";
  std::string shown;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  for (size_t at = 0; at < text.size();) {
    uint32_t codePoint = 0;
    const int length = DecodeUtf8(bytes + at, text.size() - at, codePoint);
    if (length <= 0 || codePoint < 0x20 || codePoint == 0x7F) {
      shown += kReplacement;
      at += length <= 0 ? 1 : static_cast<size_t>(length);
    } else if (codePoint == '&' || codePoint == '<' || codePoint == '>') {
      shown += codePoint == '&' ? "&amp;" : codePoint == '<' ? "&lt;" : "&gt;";
      ++at;
    } else {
      shown.append(text, at, static_cast<size_t>(length));
      at += static_cast<size_t>(length);
    }
  }
  return shown;
}

}  // namespace

void UnattendedAnswers::BeginTask(const TaskRecord& task) {
  task_ = task;
  skippedUnknown_ = false;
  skippedBothChanged_ = false;
  collisions_ = 0;
}

OverwriteAnswer UnattendedAnswers::Overwrite(const std::string& question) {
  const double stamp = question == kPcExistsQuestion ? task_.PcDate : task_.PalmDate;
  if (stamp != 0) return {PromptAnswer::Overwrite, false};
  skippedUnknown_ = true;
  return {PromptAnswer::Skip, false};
}

PromptAnswer UnattendedAnswers::BothChanged(const Collision& collision) {
  skippedBothChanged_ = true;
  collisions_ = collision.places;
  return PromptAnswer::Skip;
}

void UnattendedAnswers::EndTask(TaskRecord& task) {
  const std::string status = task.Status.Trimmed();
  const bool skipped = status == status::kUserSkippedTask || status == status::kUserSkippedDistribution;
  LeftTask left{task.PcFile.Trimmed(), task.PalmFile.Trimmed(), false};
  if (skippedBothChanged_ && skipped) {
    task.Status = kMustChooseStatus;
    left.bothChanged = true;
    left.collisions = collisions_;
  } else if (skippedUnknown_ && (skipped || status == status::kOk)) {
    // Also when other targets got the document: one existing file was left as it was.
    task.Status = kNotReplacedStatus;
  } else {
    return;
  }
  left_.push_back(std::move(left));
}

std::vector<LeftTask> UnattendedAnswers::TakeLeftTasks() { return std::exchange(left_, {}); }

Notice NoticeFor(const std::vector<LeftTask>& left) {
  Notice notice;
  notice.summary = left.size() == 1 ? "ZUN2: a task needs your choice"
                                    : "ZUN2: " + std::to_string(left.size()) + " tasks need your choice";
  for (size_t i = 0; i < left.size() && i < kNoticeLines; ++i) {
    const LeftTask& task = left[i];
    notice.body += Shown(PathFileName(task.pcFile) + " and " + PathFileName(task.palmFile)) + ": ";
    if (!task.bothChanged) {
      notice.body += "an existing file the task never converted\n";
    } else if (task.collisions > 0) {
      notice.body += "both files changed the same lines in " + std::to_string(task.collisions) +
                     (task.collisions == 1 ? " place\n" : " places\n");
    } else {
      notice.body += "both files changed\n";
    }
  }
  if (left.size() > kNoticeLines) notice.body += "and " + std::to_string(left.size() - kNoticeLines) + " more\n";
  notice.body += "Nothing was replaced. Convert in ZUN2 to choose.";
  return notice;
}

void RunTally::Count(const std::string& status) {
  if (status.starts_with("OK")) {
    ++ok;
  } else if (status.starts_with("Error")) {
    ++failed;
  } else if (status == kMustChooseStatus || status == kNotReplacedStatus) {
    ++left;
  } else {
    ++other;
  }
}

std::string RunTally::Text() const {
  std::string text;
  auto add = [&text](int count, const char* what) {
    if (count == 0) return;
    if (!text.empty()) text += ", ";
    text += std::to_string(count) + what;
  };
  add(ok, " OK");
  add(failed, " failed");
  add(left, " left for you");
  add(other, " unchanged");
  return text.empty() ? "no task ran" : text;
}

void UnattendedHost::ShowTask(int32_t row) {
  checks_ = ChecksFromTargets(data_.Read(TaskRecordNumber(row)).Targets, installEntries_);
}

TaskHooks UnattendedHooks(UnattendedAnswers& answers, WatchPlan& plan) {
  TaskHooks hooks;
  hooks.before = [&answers, &plan](int32_t row, TaskRecord& task) {
    answers.BeginTask(task);
    plan.PrepareTask(row, task);
  };
  hooks.after = [&answers, &plan](int32_t row, TaskRecord& task) {
    answers.EndTask(task);
    plan.TaskRan(row, task);
  };
  return hooks;
}

}  // namespace zun
