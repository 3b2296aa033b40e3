// What a conversion needs from the program around it: the codec, the users, the window (or a
// script standing in for it) and the run's flags.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/charset.h"
#include "glue/byte_file.h"
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

// Where the changes of both sides collide, for the both-changed prompt: how many places, and the
// lines of each side at the first (the handheld's in the PC file's form). No places: the sides
// were not compared line by line (no base of the task, or filters that change lines).
struct Collision {
  int32_t places = 0;
  std::vector<std::string> pcLines;
  std::vector<std::string> palmLines;
};
// What the both-changed prompt shows of a collision; empty for none.
std::string CollisionText(const Collision& collision);

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
  virtual PromptAnswer BothChangedPrompt(const Collision& collision) = 0;
  // Shown: the progress caption and bar stand where the status label and box stood.
  virtual void ShowProgress(bool shown) = 0;
  virtual void SetProgressCaption(const std::string& caption) = 0;
  virtual void SetProgressRange(int32_t maximum) = 0;  // minimum 0, value 0
  virtual void SetProgressValue(int32_t value) = 0;
  virtual void SetTrayIcon(int32_t frame, const std::string& tip) = 0;
  virtual void LetEventsRun() = 0;
  // Whether the program is being ended (zundoc on a signal): the task in hand then ends at its
  // next progress point with "User stopped conversion", replacing nothing. The window's Stop is
  // no such end: it lets the task finish.
  virtual bool Abandoned() { return false; }
};

// The main window's flags that a conversion reads and sets.
struct RunFlags {
  bool sideChosen = false;     // the both-changed prompt chose this direction: no overwrite prompt
  bool stopRequested = false;  // end the run after the current task
};

// Why a task failed, beside its status (which stays one of the fixed texts): the file concerned,
// as the task names it, and what went wrong with it in the user's words ("Permission denied",
// "too long for a document"). For a front end that can say more than the status.
struct FailureReason {
  std::string file;
  std::string reason;
};

struct ConversionEnv {
  const DocCodec& codec;
  UserManager& users;
  ConversionHost& host;
  RunFlags& flags;
  std::string programDir;    // the data folder, with trailing separator; temporary files go here
  DataFile* data = nullptr;  // where "do not ask again" is stored (record 1)
  std::string handheldCharset = kDefaultHandheldCharset;  // iconv name, for the option "UTF-8 Text"
  std::string databaseName{};  // the name inside a new document; empty: the Palm file's name less its extension
  FailureReason failure{};     // set with an error status by a conversion, emptied when one starts
  // Runs of the task list: a base of each task's last conversion in programDir (merges, and what
  // may be replaced without a Trash copy), and the Trash for whatever else a run replaces.
  bool keepBases = false;
  bool useTrash = false;
  // Called before a conversion replaces a file that exists (the PC file, or a document at a
  // target); throws TaskFailure when the file must not be replaced. Set by the task run.
  enum class Side { Pc, Document };
  std::function<void(const std::string& path, Side side)> beforeReplace = nullptr;
};

inline constexpr const char* kProgressCaption = "Progress";
inline constexpr const char* kCompressionCaption = "Compression";
inline constexpr const char* kFilterCaption = "Applying Filters";
inline constexpr const char* kTooLongForADocument = "too long for a document";

// The checks every conversion starts with: a checked install target (else `noTarget`), then the
// two file names in the order given. The status of the first that fails; nullptr when all pass.
enum class NamesFirst { Pc, Palm };
const char* OpeningCheck(const TaskRecord& task, const TargetChecks& checks, const char* noTarget, NamesFirst order);
// Ends a task whose opening check failed with that status; a path without a file name is the
// reason beside it.
void RefuseOpening(TaskRecord& task, ConversionEnv& env, const char* status);

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
// Progress and tray frame for record (or block) i of n, then pending events run; ends the task
// when the host abandons it.
void ProgressStep(ConversionEnv& env, int32_t i, int32_t n);
// Ends the task with "User stopped conversion" when the host abandons it (before a replacement).
void StopIfAbandoned(ConversionEnv& env);
// The common end of a conversion: tray frame 1, the status where the progress was.
void EndProgress(ConversionEnv& env);

// How a conversion step fails: the status text that ends the task. The conversion's common end
// stores it; any other error there becomes "Error: Could not open Palm or PC File".
struct TaskFailure {
  const char* status;
};
[[noreturn]] inline void Fail(const char* status) { throw TaskFailure{status}; }

// An error status as a reason: the text after "Error: ".
std::string ReasonOfStatus(const char* status);
// Ends a task before its work with an error status and the reason beside it.
void Refuse(TaskRecord& task, ConversionEnv& env, const char* status, const std::string& file, std::string reason);

// The file a conversion works on at a moment, for a failure that does not name one.
struct WorkingOn {
  std::string file;
  bool replacing = false;  // being replaced (else read)
};
// Call inside a catch: the status for what was thrown (TaskFailure: its own; anything else
// "Error: Could not open Palm or PC File") and the reason beside it.
void EndWithCurrentFailure(TaskRecord& task, ConversionEnv& env, const WorkingOn& workingOn);

// A new temporary file without a name in the program folder, for writing and reading back; its
// failures name that folder. Throws FileError when the folder takes none.
ByteFile CreateWorkFile(const ConversionEnv& env);

// The file's modification time as a date stamp; throws FileError when it cannot be read.
double StampOf(const std::string& path);

}  // namespace zun
