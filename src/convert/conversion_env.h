// What a conversion needs from the program around it: the codec, the users, the window (or a
// script standing in for it) and the run's flags.
#pragma once
#include <cstdint>
#include <string>

#include "convert/charset.h"
#include "glue/codec_loader.h"
#include "hotsync/user_manager.h"
#include "record/task_record.h"

namespace zun {

class DataFile;

// The prompts' buttons. A prompt closed any other way answers Stop.
enum class PromptAnswer { UpdatePc = 1, UpdatePalm = 2, Stop = 3, Overwrite = 6, Skip = 7 };

struct OverwriteAnswer {
  PromptAnswer result = PromptAnswer::Stop;
  bool doNotAskAgain = false;  // "do not ask again" was clicked while the prompt was open
};

inline constexpr const char* kPalmExistsQuestion = "Palm File already exists! Overwrite file?";
inline constexpr const char* kPcExistsQuestion = "PC File already exists! Overwrite file?";

class ConversionHost {
 public:
  virtual ~ConversionHost() = default;
  // The check marks of the install list, as the task's Targets set them.
  virtual TargetChecks InstallChecks() = 0;
  // Whether the user is asked before an existing file is replaced.
  virtual bool AskOverwrite() = 0;
  virtual void SetAskOverwrite(bool on) = 0;
  virtual OverwriteAnswer OverwritePrompt(const std::string& question, const std::string& path) = 0;
  virtual PromptAnswer BothChangedPrompt() = 0;
  // Shown: the progress caption and bar stand where the status label and box stood.
  virtual void ShowProgress(bool shown) = 0;
  virtual void SetProgressCaption(const std::string& caption) = 0;
  virtual void SetProgressRange(int32_t maximum) = 0;  // minimum 0, value 0
  virtual void SetProgressValue(int32_t value) = 0;
  virtual void SetTrayIcon(int32_t frame, const std::string& tip) = 0;
  virtual void LetEventsRun() = 0;
};

// The main window's flags that a conversion reads and sets.
struct RunFlags {
  bool sideChosen = false;     // the both-changed prompt chose this direction: no overwrite prompt
  bool stopRequested = false;  // end the run after the current task
};

struct ConversionEnv {
  const DocCodec& codec;
  UserManager& users;
  ConversionHost& host;
  RunFlags& flags;
  std::string programDir;    // the data folder, with trailing separator; temporary files go here
  DataFile* data = nullptr;  // where "do not ask again" is stored (record 1)
  std::string handheldCharset = kDefaultHandheldCharset;  // iconv name, for the option "UTF-8 Text"
};

inline constexpr const char* kProgressCaption = "Progress";
inline constexpr const char* kCompressionCaption = "Compression";
inline constexpr const char* kFilterCaption = "Applying Filters";

// The checks every conversion starts with: a checked install target (else `noTarget`), then the
// two file names in the order given. The status of the first that fails; nullptr when all pass.
enum class NamesFirst { Pc, Palm };
const char* OpeningCheck(const TaskRecord& task, const TargetChecks& checks, const char* noTarget, NamesFirst order);

// Why a conversion may neither read nor write `path`: it is one of the data folder's own files
// (zundata.dat, .bak, .lock; by any name, through links and hard links, existing or not), or a
// link another user planted in a shared folder leads to it; nullptr when it may. An interrupted
// overwrite of the file is undone first (its failure: "Error: Could not open Palm or PC File").
const char* FileRefusal(const ConversionEnv& env, const std::string& path);

// Whether `path` may be replaced: when it exists and asking is on (and the both-changed prompt did
// not choose this side), the overwrite prompt decides; "do not ask again" turns the switch off and
// record 1 stores it at once, the answer still applying to this file. Returns Overwrite, Skip or
// Stop.
PromptAnswer ConfirmReplace(ConversionEnv& env, const std::string& question, const std::string& path);
// Ends a task on a Skip or Stop answer: its status, and for Stop the run's end.
void EndOnAnswer(TaskRecord& task, ConversionEnv& env, PromptAnswer answer);

// Tray frame for record (or block) i of n: round(i / (n / 8)), halves to even, mod 8, plus 1.
int32_t ProgressFrame(int32_t i, int32_t n);
// Progress and tray frame for record (or block) i of n, then pending events run.
void ProgressStep(ConversionEnv& env, int32_t i, int32_t n);
// The common end of a conversion: tray frame 1, the status where the progress was.
void EndProgress(ConversionEnv& env);

// How a conversion step fails: the status text that ends the task. The conversion's common end
// stores it; any other error there becomes "Error: Could not open Palm or PC File".
struct TaskFailure {
  const char* status;
};
[[noreturn]] inline void Fail(const char* status) { throw TaskFailure{status}; }

// The file's modification time as a date stamp; throws FileError when it cannot be read.
double StampOf(const std::string& path);

}  // namespace zun
