// zundoc: the document conversions for scripts, using the same code as the window.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/doc_info.h"
#include "convert/charset.h"
#include "convert/document_to_text.h"
#include "convert/status_texts.h"
#include "convert/text_to_document.h"
#include "glue/codec_loader.h"
#include "glue/paths.h"
#include "hotsync/jpilot_users.h"
#include "hotsync/user_manager.h"
#include "tasks/conversion_run.h"
#include "record/data_file.h"
#include "tasks/scripted_host.h"
#include "record/task_record.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: zundoc encode [options] TEXT PDB   text file to Palm document\n"
    "       zundoc decode [--charset NAME] PDB TEXT   Palm document to text file\n"
    "       zundoc info PDB                    what a Palm database holds\n"
    "\n"
    "encode options (defaults: compressed, TABs to 4 spaces, category 0):\n"
    "  --no-compress     store the text uncompressed\n"
    "  --no-tabs         keep TAB characters\n"
    "  --tab-space N     blanks per TAB, 0-64\n"
    "  --cr-to-lf        turn every CR into LF (CR LF becomes LF LF)\n"
    "  --raw             no filtering at all\n"
    "  --category N      Palm category, 0-15\n"
    "  --charset NAME    the text is UTF-8, the document in this set (iconv's names:\n"
    "                    windows-1252, cp932 ...); also for decode. Without it, bytes\n"
    "                    as they are\n"
    "\n"
    "Encode and decode replace an existing output file and print the status\n"
    "(\"OK\" or the error); exit status 0 on OK, 1 on a conversion error, 2 on a\n"
    "usage error.\n"
    "\n"
    "run options (DIR defaults to the current folder; a missing data file is created):\n"
    "  --yes             answer Overwrite when a file exists and asking is on\n"
    "  --skip            answer Skip (the default)\n"
    "  --prefer pc       when both files changed, keep the PC file's text\n"
    "  --prefer palm     when both files changed, keep the document's text\n"
    "It prints one line per task (row, PC file, Palm file, sync symbol, status) and\n"
    "exits 1 when a task failed.\n";

int UsageError(const std::string& message) {
  std::cerr << "zundoc: " << message << "\n" << kUsage;
  return kExitUsage;
}

constexpr const char* kCharsetUsage = "--charset takes a set iconv knows, of one- and two-byte characters";

// Takes "--charset NAME" out of the arguments; false when NAME is missing or not a usable set.
bool TakeCharset(std::vector<std::string>& args, std::string& charset) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--charset") continue;
    if (i + 1 >= args.size() || zun::Charset::Find(args[i + 1]) == nullptr) return false;
    charset = args[i + 1];
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    return true;
  }
  return true;
}

// A private program folder for the temporary files, removed on exit.
class PrivateFolder {
 public:
  PrivateFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zundoc-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr) path_ = std::string(buffer.data()) + "/";
  }
  ~PrivateFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::optional<int> ParseNumber(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  const int value = std::atoi(text.c_str());
  if (value < low || value > high) return std::nullopt;
  return value;
}

struct Conversion {
  zun::TaskRecord task;
  bool toDocument = true;
  std::string charset;  // empty: bytes as they are
};

int RunConversion(Conversion& conversion) {
  // Only encoding writes temporary files of its own; decoding writes beside the text file.
  std::optional<PrivateFolder> folder;
  std::string programDir;
  if (conversion.toDocument) {
    folder.emplace();
    if (folder->Path().empty()) {
      std::cerr << "zundoc: cannot create a temporary folder\n";
      return kExitFailed;
    }
    programDir = folder->Path();
  }
  const std::optional<zun::DocCodec> codec = zun::LoadDocCodec(zun::CodecSearchFolders());
  if (!codec) {
    std::cerr << zun::kCodecMissingMessage << "\n";
    return kExitFailed;
  }
  zun::NoUsers users;
  zun::ScriptedHost host;  // "Custom" is the only target; files are replaced without asking
  zun::RunFlags flags;
  zun::ConversionEnv env{*codec, users, host, flags, programDir};
  env.handheldCharset = conversion.charset;
  if (conversion.toDocument) {
    zun::ConvertTextToDocument(conversion.task, env);
  } else {
    zun::ConvertDocumentToText(conversion.task, env);
  }
  const std::string status = conversion.task.Status.Trimmed();
  std::cout << status << "\n";
  return status == zun::status::kOk ? kExitOk : kExitFailed;
}

// Paths are stored in 512-byte fields; a longer one would name another file.
bool FitsField(const std::string& path) { return path.size() <= 512; }

int Encode(std::vector<std::string> args) {
  Conversion conversion;
  if (!TakeCharset(args, conversion.charset)) return UsageError(kCharsetUsage);
  zun::TaskRecord& task = conversion.task;
  task = zun::DefaultSettingsRecord();
  task.Action = zun::TaskAction::PcToPalm;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](int low, int high) -> std::optional<int> {
      if (i + 1 >= args.size()) return std::nullopt;
      return ParseNumber(args[++i], low, high);
    };
    if (arg == "--no-compress") {
      task.Options.SetAt(zun::kOptCompress, '0');
    } else if (arg == "--no-tabs") {
      task.Options.SetAt(zun::kOptTabsToSpaces, '0');
    } else if (arg == "--cr-to-lf") {
      task.Options.SetAt(zun::kOptCrToLf, '1');
    } else if (arg == "--raw") {
      task.Options.SetAt(zun::kOptRaw, '1');
    } else if (arg == "--tab-space") {
      const auto n = value(0, 64);
      if (!n) return UsageError("--tab-space takes a number from 0 to 64");
      task.TabSpace = static_cast<int16_t>(*n);
    } else if (arg == "--category") {
      const auto n = value(0, 15);
      if (!n) return UsageError("--category takes a number from 0 to 15");
      task.Category = static_cast<int16_t>(*n);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) return UsageError("encode takes a text file and a document");
  const std::string text = zun::AbsolutePath(files[0]);
  const std::string document = zun::AbsolutePath(files[1]);
  if (!FitsField(text) || !FitsField(document)) return UsageError("path longer than 512 bytes");
  task.PcFile = text;
  task.PalmFile = document;
  return RunConversion(conversion);
}

int Decode(std::vector<std::string> args) {
  Conversion conversion;
  if (!TakeCharset(args, conversion.charset)) return UsageError(kCharsetUsage);
  if (args.size() != 2 || args[0].starts_with("-") || args[1].starts_with("-")) {
    return UsageError("decode takes a document and a text file");
  }
  conversion.toDocument = false;
  conversion.task = zun::DefaultSettingsRecord();
  conversion.task.Action = zun::TaskAction::PalmToPc;
  const std::string document = zun::AbsolutePath(args[0]);
  const std::string text = zun::AbsolutePath(args[1]);
  if (!FitsField(text) || !FitsField(document)) return UsageError("path longer than 512 bytes");
  conversion.task.PalmFile = document;
  conversion.task.PcFile = text;
  return RunConversion(conversion);
}

int Info(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError("info takes one document");
  const std::optional<zun::DocCodec> codec =
      zun::LoadDocCodec(zun::CodecSearchFolders());
  if (!codec) {
    std::cerr << zun::kCodecMissingMessage << "\n";
    return kExitFailed;
  }
  return zun::PrintDocumentInfo(args[0], *codec, std::cout, std::cerr) ? kExitOk : kExitFailed;
}

int Run(const std::vector<std::string>& args) {
  std::string dir = ".";
  bool overwrite = false;
  zun::PromptAnswer bothChanged = zun::PromptAnswer::Skip;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--dir" && i + 1 < args.size()) {
      dir = args[++i];
    } else if (args[i] == "--yes") {
      overwrite = true;
    } else if (args[i] == "--skip") {
      overwrite = false;
    } else if (args[i] == "--prefer" && i + 1 < args.size() && (args[i + 1] == "pc" || args[i + 1] == "palm")) {
      bothChanged = args[++i] == "pc" ? zun::PromptAnswer::UpdatePalm : zun::PromptAnswer::UpdatePc;
    } else {
      return UsageError("unknown run option " + args[i]);
    }
  }
  std::string programDir = zun::AbsolutePath(dir);
  if (programDir.back() != zun::kPathSeparator) programDir.push_back(zun::kPathSeparator);
  const std::optional<zun::DocCodec> codec = zun::LoadDocCodec(zun::CodecSearchFolders());
  if (!codec) {
    std::cerr << zun::kCodecMissingMessage << "\n";
    return kExitFailed;
  }
  zun::DataFile data(programDir);
  zun::JPilotUsers users;
  const int32_t entries = static_cast<int32_t>(zun::FillUserList(users).size()) + 1;  // users, "Custom"
  zun::ScriptedHost host;
  zun::RunFlags flags;
  std::optional<std::string> failure;
  try {
    data.OpenAndCheck();
    host.askOverwrite = data.Read(zun::kSettingsRecord).AskOverwrite();
    host.laterOverwriteAnswer = {overwrite ? zun::PromptAnswer::Overwrite : zun::PromptAnswer::Skip, false};
    host.laterBothChangedAnswer = bothChanged;
    host.onShowTask = [&](int32_t row) {
      host.checks = zun::ChecksFromTargets(data.Read(zun::TaskRecordNumber(row)).Targets, entries);
    };
    zun::ConversionEnv env{*codec, users, host, flags, programDir, &data};
    env.handheldCharset = zun::HandheldCharsetFor(users.Settings().charSet);
    failure = zun::RunAllTasks(data, env, host);
  } catch (const std::exception& error) {
    failure = std::string("Error: ") + error.what();
  }
  bool anyError = failure.has_value();
  for (const zun::ScriptedHost::Outcome& outcome : host.outcomes) {
    const std::string status = outcome.task.Status.Trimmed();
    anyError = anyError || status.starts_with("Error");
    std::cout << outcome.row << "\t" << outcome.task.PcFile.Trimmed() << "\t" << outcome.task.PalmFile.Trimmed()
              << "\t" << outcome.symbol << "\t" << status << "\n";
  }
  if (failure) std::cerr << "zundoc: " << *failure << "\n";
  return anyError ? kExitFailed : kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return UsageError("no command");
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return kExitOk;
  }
  if (command == "encode") return Encode(args);
  if (command == "decode") return Decode(args);
  if (command == "info") return Info(args);
  if (command == "run") return Run(args);
  return UsageError("unknown command " + command);
}
