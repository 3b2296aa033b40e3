#include "tasks/task_memory.h"

#include "convert/document_text.h"
#include "convert/status_texts.h"
#include "glue/byte_file.h"
#include "glue/file_system.h"
#include "glue/links.h"
#include "glue/replacement_file.h"
#include "glue/trash.h"

namespace zun {
namespace {

constexpr size_t kMaxText = size_t{1} << 30;

std::string RealPath(const std::string& path) {
  try {
    return FollowLinks(path);
  } catch (const FileError&) {
    return path;
  }
}

const std::string& TextOf(const Base& base, ConversionEnv::Side side) {
  return side == ConversionEnv::Side::Pc ? base.pcText : base.documentText;
}

}  // namespace

TaskMemory::TaskMemory(const TaskRecord& task, ConversionEnv& env)
    : env_(env), pcFile_(task.PcFile.Trimmed()), palmFile_(task.PalmFile.Trimmed()) {
  if (!env_.useTrash || env_.beforeReplace) return;
  env_.beforeReplace = [this](const std::string& path, ConversionEnv::Side side) { BeforeReplace(path, side); };
  hooked_ = true;
}

TaskMemory::~TaskMemory() {
  if (hooked_) env_.beforeReplace = nullptr;
}

std::function<void()> TaskMemory::LetEventsRun() const {
  return [&host = env_.host] { host.LetEventsRun(); };
}

std::string TaskMemory::Document() const { return BaseDocument(env_.users, env_.host.InstallChecks(), palmFile_); }

const std::optional<Base>& TaskMemory::LoadedBase() {
  if (!baseLoaded_ && env_.keepBases) base_ = LoadBase(env_.programDir, pcFile_, Document(), LetEventsRun());
  baseLoaded_ = true;
  return base_;
}

std::optional<std::string> TaskMemory::SideText(const std::string& path, ConversionEnv::Side side) {
  if (side == ConversionEnv::Side::Pc) return ReadSmallFile(path, kMaxText);
  return ReadDocumentText(path, env_.codec, kMaxText, LetEventsRun());
}

bool TaskMemory::StillHolds(const std::string& path, ConversionEnv::Side side) {
  const std::optional<Base>& base = LoadedBase();
  return base && SideText(path, side) == TextOf(*base, side);
}

bool TaskMemory::ChangedSinceBase(const std::string& path, ConversionEnv::Side side) {
  const std::optional<Base>& base = LoadedBase();
  if (!base || FileExists(path) != FileState::Exists) return false;
  const std::optional<std::string> text = SideText(path, side);
  return text && *text != TextOf(*base, side);
}

void TaskMemory::BeforeReplace(const std::string& path, ConversionEnv::Side side) {
  if (!env_.useTrash) return;
  const std::string real = RealPath(path);
  if (settled_.contains(real) || StillHolds(path, side)) return;
  try {
    PutCopyInTrash(path);
  } catch (const FileError& error) {
    const std::string why = error.Reason().empty() ? error.what() : error.File() + ": " + error.Reason();
    env_.failure = {path, "no copy in the Trash (" + why + ")"};
    Fail(status::kTrashFailed);
  }
  settled_.insert(real);
}

void TaskMemory::NothingToLose(const std::string& path) { settled_.insert(RealPath(path)); }

void TaskMemory::Remember(const TaskRecord& task) {
  if (!env_.keepBases || task.Status.Trimmed() != status::kOk) return;
  const std::string document = Document();
  try {
    std::optional<std::string> pcText = ReadSmallFile(pcFile_, kMaxText);
    env_.host.LetEventsRun();
    std::optional<std::string> documentText = ReadDocumentText(document, env_.codec, kMaxText, LetEventsRun());
    if (pcText && documentText) {
      StoreBase(env_.programDir, pcFile_, document, Base{std::move(*pcText), std::move(*documentText)}, LetEventsRun());
      return;
    }
  } catch (const std::exception&) {
  }
  RemoveBase(env_.programDir, pcFile_, document);
}

}  // namespace zun
