#include "cli/convert_commands.h"

#include <cerrno>
#include <iostream>
#include <optional>

#include "cli/arguments.h"
#include "cli/cli_host.h"
#include "cli/exit_status.h"
#include "cli/operand_path.h"
#include "cli/staging.h"
#include "convert/charset.h"
#include "convert/document_to_text.h"
#include "convert/status_texts.h"
#include "convert/text_to_document.h"
#include "glue/codec_loader.h"
#include "hotsync/user_manager.h"
#include "record/task_record.h"

namespace zundoc {
namespace {

constexpr const char* kCharsetProblem = "--charset takes a set iconv knows, of one- and two-byte characters";
// What a task names standard input and output by: names only, never opened.
constexpr const char* kInputLabel = "/dev/stdin";
constexpr const char* kOutputLabel = "/dev/stdout";

std::optional<zun::DocCodec> LoadCodec() {
  std::optional<zun::DocCodec> codec = zun::LoadDocCodec(zun::CodecSearchFolders());
  if (!codec) std::cerr << zun::kCodecMissingMessage << "\n";
  return codec;
}

// One encode or decode: progress, the host and the conversion's environment.
struct Session {
  Session(const zun::DocCodec& codec, bool progressShown, const std::string& subject, std::string programDir)
      : progress(progressShown), env{codec, users, host, flags, std::move(programDir)} {
    progress.SetSubject(subject);
    env.handheldCharset.clear();  // bytes as they are, unless --charset says otherwise
  }
  TerminalProgress progress;
  CliHost host{progress};
  zun::NoUsers users;
  zun::RunFlags flags;
  zun::ConversionEnv env;
};

// The two files of a command as the user named them.
struct Operands {
  const OperandPath& text;
  const OperandPath& document;

  std::string Shown(const std::string& file) const {
    if (file == kInputLabel) return kStandardInput;
    if (file == kOutputLabel) return kStandardOutput;
    const std::string shown = document.Shown(file);
    return shown != file ? shown : text.Shown(file);
  }
  // Prints why an operand cannot be used; false when both can.
  bool Unusable(std::ostream& statusOut) const {
    for (const OperandPath* operand : {&text, &document}) {
      if (!operand->Problem().empty()) {
        statusOut << zun::status::kCouldNotOpen << "\n";
        PrintFailure(operand->Operand(), operand->Problem());
        return true;
      }
    }
    return false;
  }
};

// Prints the outcome, the status on `statusOut` and for a failure which file and why; the exit
// status. Nothing when a signal ends zundoc: it ends by that signal.
int Report(const zun::TaskRecord& task, const zun::FailureReason& failure, const Operands& operands,
           std::ostream& statusOut) {
  if (Interrupted()) return kExitFailed;
  const std::string status = task.Status.Trimmed();
  statusOut << status << "\n" << std::flush;
  if (status == zun::status::kOk) return kExitOk;
  // A reader that went away (head, a closed pager) is no failure worth a word.
  const bool readerGone = failure.file == kStandardOutput && failure.reason == zun::SystemReason(EPIPE);
  if (!failure.file.empty() && !readerGone) PrintFailure(operands.Shown(failure.file), failure.reason);
  return kExitFailed;
}

struct EncodeRequest {
  zun::TaskRecord task = zun::DefaultSettingsRecord();
  std::string name;
  std::string charset;
};

// Takes encode's options into `request`; the usage problem, empty when there is none.
std::string ReadEncodeOptions(const Arguments& parsed, EncodeRequest& request) {
  zun::TaskRecord& task = request.task;
  for (const auto& [option, value] : parsed.options) {
    if (option == "--charset") {
      if (zun::Charset::Find(value) == nullptr) return kCharsetProblem;
      request.charset = value;
    } else if (option == "--name") {
      if (value.empty()) return "--name needs a name";
      request.name = value;
    } else if (option == "--no-compress") {
      task.Options.SetAt(zun::kOptCompress, '0');
    } else if (option == "--no-tabs") {
      task.Options.SetAt(zun::kOptTabsToSpaces, '0');
    } else if (option == "--cr-to-lf") {
      task.Options.SetAt(zun::kOptCrToLf, '1');
    } else if (option == "--raw") {
      task.Options.SetAt(zun::kOptRaw, '1');
    } else if (option == "--tab-space") {
      const auto n = ParseNumber(value, 0, zun::kMaxTabSpace);
      if (!n) return "--tab-space takes a number from 0 to 64";
      task.TabSpace = static_cast<int16_t>(*n);
    } else if (option == "--category") {
      const auto n = ParseNumber(value, 0, zun::kMaxCategory);
      if (!n) return "--category takes a number from 0 to 15";
      task.Category = static_cast<int16_t>(*n);
    }
  }
  return {};
}

// Makes the document from the text (or standard input); the exit status.
int RunEncode(EncodeRequest& request, const Operands& operands, bool fromInput) {
  if (operands.Unusable(std::cout)) return kExitFailed;
  const std::optional<zun::DocCodec> codec = LoadCodec();
  if (!codec) return kExitFailed;
  Session session(*codec, StandardErrorIsTerminal(), fromInput ? kStandardInput : operands.text.Operand(),
                  operands.document.Folder());
  session.env.handheldCharset = request.charset;
  session.env.databaseName = request.name;
  zun::TaskRecord& task = request.task;
  task.Action = zun::TaskAction::PcToPalm;
  task.PcFile = operands.text.Field();
  task.PalmFile = operands.document.Field();
  if (!fromInput) {
    zun::ConvertTextToDocument(task, session.env);
  } else {
    try {
      zun::ConvertTextToDocument(task, session.env, StandardInputFile());
    } catch (const zun::FileError& error) {
      zun::Refuse(task, session.env, zun::status::kCouldNotOpen, error.File(), error.Reason());
    }
  }
  return Report(task, session.env.failure, operands, std::cout);
}

}  // namespace

int Encode(const std::vector<std::string>& args) {
  const Arguments parsed = ParseArguments(args, {{"--name", true},
                                                 {"--no-compress", false},
                                                 {"--no-tabs", false},
                                                 {"--tab-space", true},
                                                 {"--cr-to-lf", false},
                                                 {"--raw", false},
                                                 {"--category", true},
                                                 {"--charset", true}});
  if (parsed.help) return PrintHelp();
  if (!parsed.problem.empty()) return UsageError(parsed.problem);
  EncodeRequest request;
  if (const std::string problem = ReadEncodeOptions(parsed, request); !problem.empty()) return UsageError(problem);
  if (parsed.operands.size() != 2) return UsageError("encode takes a text file and a document");
  if (parsed.operands[1] == "-") return UsageError("the document must be a file, not '-'");
  const bool fromInput = parsed.operands[0] == "-";
  const SignalGuard signals;  // before the files it protects
  const OperandPath text(fromInput ? kInputLabel : parsed.operands[0]);
  const OperandPath document(parsed.operands[1]);
  return RunEncode(request, Operands{text, document}, fromInput);
}

int Decode(const std::vector<std::string>& args) {
  const Arguments parsed = ParseArguments(args, {{"--charset", true}});
  if (parsed.help) return PrintHelp();
  if (!parsed.problem.empty()) return UsageError(parsed.problem);
  std::string charset;
  for (const auto& option : parsed.options) {
    if (zun::Charset::Find(option.second) == nullptr) return UsageError(kCharsetProblem);
    charset = option.second;
  }
  if (parsed.operands.size() != 2) return UsageError("decode takes a document and a text file");
  if (parsed.operands[0] == "-") return UsageError("the document must be a file, not '-'");
  const bool toOutput = parsed.operands[1] == "-";
  std::ostream& statusOut = toOutput ? std::cerr : std::cout;  // standard output may carry the text
  const SignalGuard signals;
  const OperandPath document(parsed.operands[0]);
  const OperandPath text(toOutput ? kOutputLabel : parsed.operands[1]);
  const Operands operands{text, document};
  if (operands.Unusable(statusOut)) return kExitFailed;
  const std::optional<zun::DocCodec> codec = LoadCodec();
  if (!codec) return kExitFailed;
  // No progress line amid a text that goes to the same terminal.
  Session session(*codec, StandardErrorIsTerminal() && !(toOutput && StandardOutputIsTerminal()), document.Operand(),
                  text.Folder());
  session.env.handheldCharset = charset;
  zun::TaskRecord task = zun::DefaultSettingsRecord();
  task.Action = zun::TaskAction::PalmToPc;
  task.PalmFile = document.Field();
  task.PcFile = text.Field();
  if (toOutput) {
    zun::ByteFile out = zun::ByteFile::ForStream(WriteToStandardOutput, kStandardOutput);
    zun::ConvertDocumentToText(task, session.env, out);
  } else {
    zun::ConvertDocumentToText(task, session.env);
  }
  return Report(task, session.env.failure, operands, statusOut);
}

}  // namespace zundoc
