// zundoc: the document conversions for scripts, using the same code as the window.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/doc_info.h"
#include "cli/exit_status.h"
#include "cli/run_command.h"
#include "cli/staging.h"
#include "convert/charset.h"
#include "convert/document_to_text.h"
#include "convert/status_texts.h"
#include "convert/text_to_document.h"
#include "glue/codec_loader.h"
#include "glue/paths.h"
#include "glue/replacement_file.h"
#include "hotsync/user_manager.h"
#include "record/task_record.h"
#include "tasks/scripted_host.h"
#include "zun2_version.h"

namespace zundoc {
namespace {

const char* const kHelp =
    "Usage: zundoc encode [OPTION]... TEXT PDB   text file to Palm document\n"
    "       zundoc decode [--charset NAME] PDB TEXT   Palm document to text file\n"
    "       zundoc info PDB                      what a Palm database holds\n"
    "       zundoc run [OPTION]...               the task list of a data folder\n"
    "       zundoc --help | --version\n"
    "\n"
    "TEXT may be \"-\": encode then reads standard input, decode writes standard\n"
    "output (and its status line goes to standard error).\n"
    "\n"
    "Encode options (without them: compressed, TABs to 4 spaces, CR LF to LF,\n"
    "category 0):\n"
    "  --name NAME       the document's name in the database (default: the PDB\n"
    "                    file's name less its extension); cut to 31 bytes\n"
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
    "Run options:\n"
    "  --dir DIR         the data folder with zundata.dat (default: the current\n"
    "                    folder; a missing data file is created); relative paths\n"
    "                    of tasks are taken from it\n"
    "  --yes             answer Overwrite when a file exists and asking is on\n"
    "  --skip            answer Skip (the default)\n"
    "  --wait            wait while another ZUN2 (a window or a run) uses the\n"
    "                    data folder, instead of exiting with status 3\n"
    "  --prefer pc       when both files changed, keep the PC file's text\n"
    "  --prefer palm     when both files changed, keep the document's text\n"
    "\n"
    "Encode and decode replace an existing output file and print the status (\"OK\"\n"
    "or the error). Run prints a line for each task as soon as it is done: row, PC\n"
    "file, Palm file, sync symbol and status, separated by TABs; control characters\n"
    "are shown as \\t, \\n, \\r or \\xHH and a backslash as \\\\.\n"
    "\n"
    "Exit status: 0 on success; 1 when a conversion or a task run failed; 2 on a\n"
    "usage error; 3 when another ZUN2 uses the data folder. See zundoc(1).\n";

constexpr const char* kCharsetProblem = "--charset takes a set iconv knows, of one- and two-byte characters";

int UsageError(const std::string& problem) {
  std::cerr << "zundoc: " << problem << "\nTry 'zundoc --help'.\n";
  return kExitUsage;
}

struct OptionSpec {
  const char* name;
  bool takesValue;
};

// A command's arguments: options (a value follows as the next argument or after "="), anywhere
// before "--", and operands. "-" is an operand.
struct Arguments {
  std::vector<std::pair<std::string, std::string>> options;
  std::vector<std::string> operands;
  std::string problem;  // empty when they are fine
  bool help = false;
};

Arguments ParseArguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& known) {
  Arguments parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
      parsed.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help") {
      parsed.help = true;
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& candidate : known) {
      if (name == candidate.name) spec = &candidate;
    }
    if (spec == nullptr) {
      parsed.problem = "unknown option " + name;
      return parsed;
    }
    std::string value;
    if (equals != std::string::npos) {
      if (!spec->takesValue) {
        parsed.problem = "option " + name + " takes no value";
        return parsed;
      }
      value = arg.substr(equals + 1);
    } else if (spec->takesValue) {
      if (i + 1 >= args.size()) {
        parsed.problem = "option " + name + " needs a value";
        return parsed;
      }
      value = args[++i];
    }
    parsed.options.emplace_back(name, value);
  }
  return parsed;
}

std::optional<int> ParseNumber(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  const int value = std::atoi(text.c_str());
  if (value < low || value > high) return std::nullopt;
  return value;
}

// Paths are stored in 512-byte fields; a longer one would name another file.
bool FitsField(const std::string& path) { return path.size() <= 512; }

int PrintHelp() {
  std::cout << kHelp;
  return kExitOk;
}

std::optional<zun::DocCodec> LoadCodec() {
  std::optional<zun::DocCodec> codec = zun::LoadDocCodec(zun::CodecSearchFolders());
  if (!codec) std::cerr << zun::kCodecMissingMessage << "\n";
  return codec;
}

// Runs one conversion with "Custom" as the only target, replacing files without asking; returns
// its status. `programDir` takes encode's temporary files.
std::string Convert(zun::TaskRecord& task, const zun::DocCodec& codec, const std::string& programDir,
                    const std::string& charset) {
  zun::NoUsers users;
  zun::ScriptedHost host;
  zun::RunFlags flags;
  zun::ConversionEnv env{codec, users, host, flags, programDir};
  env.handheldCharset = charset;  // empty: bytes as they are
  if (task.Action == zun::TaskAction::PcToPalm) {
    zun::ConvertTextToDocument(task, env);
  } else {
    zun::ConvertDocumentToText(task, env);
  }
  return task.Status.Trimmed();
}

// Puts a copy of `source` in place of `target` as the conversion puts a document at its target.
bool PlaceDocument(const std::string& source, const std::string& target) {
  constexpr size_t kBlock = 1 << 17;
  try {
    const zun::ByteFile document = zun::ByteFile::OpenForReading(source);
    zun::ReplacementFile placed = zun::ReplacementFile::Begin(target);
    for (int64_t at = 0; at < document.Length(); at += static_cast<int64_t>(kBlock)) {
      const auto size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(kBlock), document.Length() - at));
      placed.Content().Append(document.View(at, size));
    }
    placed.Commit();
    return true;
  } catch (const zun::FileError&) {
    return false;
  }
}

int ExitFor(const std::string& status) { return status == zun::status::kOk ? kExitOk : kExitFailed; }

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
  zun::TaskRecord task = zun::DefaultSettingsRecord();
  task.Action = zun::TaskAction::PcToPalm;
  std::optional<std::string> name;
  std::string charset;
  for (const auto& [option, value] : parsed.options) {
    if (option == "--charset") {
      if (zun::Charset::Find(value) == nullptr) return UsageError(kCharsetProblem);
      charset = value;
    } else if (option == "--name") {
      if (value.empty()) return UsageError("--name needs a name");
      if (value.find(zun::kPathSeparator) != std::string::npos) return UsageError("--name cannot hold a '/'");
      name = value;
    } else if (option == "--no-compress") {
      task.Options.SetAt(zun::kOptCompress, '0');
    } else if (option == "--no-tabs") {
      task.Options.SetAt(zun::kOptTabsToSpaces, '0');
    } else if (option == "--cr-to-lf") {
      task.Options.SetAt(zun::kOptCrToLf, '1');
    } else if (option == "--raw") {
      task.Options.SetAt(zun::kOptRaw, '1');
    } else if (option == "--tab-space") {
      const auto n = ParseNumber(value, 0, 64);
      if (!n) return UsageError("--tab-space takes a number from 0 to 64");
      task.TabSpace = static_cast<int16_t>(*n);
    } else if (option == "--category") {
      const auto n = ParseNumber(value, 0, 15);
      if (!n) return UsageError("--category takes a number from 0 to 15");
      task.Category = static_cast<int16_t>(*n);
    }
  }
  if (parsed.operands.size() != 2) return UsageError("encode takes a text file and a document");
  const bool fromInput = parsed.operands[0] == "-";
  if (parsed.operands[1] == "-") return UsageError("the document must be a file, not '-'");
  const std::string document = zun::AbsolutePath(parsed.operands[1]);
  const std::string text = fromInput ? "" : zun::AbsolutePath(parsed.operands[0]);
  if (!FitsField(text) || !FitsField(document)) return UsageError("path longer than 512 bytes");

  const SignalGuard signals;
  const PrivateFolder folder;  // the conversion's temporary files, standard input, the named document
  if (folder.Path().empty()) {
    std::cerr << "zundoc: cannot create a temporary folder\n";
    return kExitFailed;
  }
  task.PcFile = text;
  if (fromInput) {
    task.PcFile = folder.Path() + "standard-input";
    if (std::string error; !CopyStandardInputTo(task.PcFile.Trimmed(), error)) {
      std::cerr << "zundoc: " << error << "\n";
      return kExitFailed;
    }
  }
  // The database name comes from the document's file name: a given name goes the same way, through
  // a document of that name in the private folder. (A file name holds at most 255 bytes; the
  // conversion keeps far fewer.)
  const bool named = name.has_value() && !zun::PathFileName(document).empty();
  task.PalmFile = named ? folder.Path() + zun::CutAtCharacterBoundary(*name, 200) + ".pdb" : document;
  const std::optional<zun::DocCodec> codec = LoadCodec();
  if (!codec) return kExitFailed;
  std::string status = Convert(task, *codec, folder.Path(), charset);
  if (named && status == zun::status::kOk && !PlaceDocument(task.PalmFile.Trimmed(), document)) {
    status = zun::status::kCouldNotOpen;
  }
  std::cout << status << "\n";
  return ExitFor(status);
}

int Decode(const std::vector<std::string>& args) {
  const Arguments parsed = ParseArguments(args, {{"--charset", true}});
  if (parsed.help) return PrintHelp();
  if (!parsed.problem.empty()) return UsageError(parsed.problem);
  std::string charset;
  for (const auto& [option, value] : parsed.options) {
    if (zun::Charset::Find(value) == nullptr) return UsageError(kCharsetProblem);
    charset = value;
  }
  if (parsed.operands.size() != 2) return UsageError("decode takes a document and a text file");
  if (parsed.operands[0] == "-") return UsageError("the document must be a file, not '-'");
  zun::TaskRecord task = zun::DefaultSettingsRecord();
  task.Action = zun::TaskAction::PalmToPc;
  const std::string document = zun::AbsolutePath(parsed.operands[0]);
  const bool toOutput = parsed.operands[1] == "-";
  const std::string text = toOutput ? "" : zun::AbsolutePath(parsed.operands[1]);
  if (!FitsField(text) || !FitsField(document)) return UsageError("path longer than 512 bytes");
  task.PalmFile = document;
  const std::optional<zun::DocCodec> codec = LoadCodec();
  if (!codec) return kExitFailed;
  if (!toOutput) {
    task.PcFile = text;
    const std::string status = Convert(task, *codec, "", charset);
    std::cout << status << "\n";
    return ExitFor(status);
  }
  // Standard output carries the text: it is written into the private folder, then copied out,
  // and the status goes to standard error.
  const SignalGuard signals;
  const PrivateFolder folder;
  if (folder.Path().empty()) {
    std::cerr << "zundoc: cannot create a temporary folder\n";
    return kExitFailed;
  }
  task.PcFile = folder.Path() + "text";
  const std::string status = Convert(task, *codec, "", charset);
  if (status == zun::status::kOk) {
    if (std::string error; !CopyToStandardOutput(task.PcFile.Trimmed(), error)) {
      if (!error.empty()) std::cerr << "zundoc: " << error << "\n";
      return kExitFailed;
    }
  }
  std::cerr << status << "\n";
  return ExitFor(status);
}

int Info(const std::vector<std::string>& args) {
  const Arguments parsed = ParseArguments(args, {});
  if (parsed.help) return PrintHelp();
  if (!parsed.problem.empty()) return UsageError(parsed.problem);
  if (parsed.operands.size() != 1) return UsageError("info takes one document");
  if (parsed.operands[0] == "-") return UsageError("the document must be a file, not '-'");
  const std::optional<zun::DocCodec> codec = LoadCodec();
  if (!codec) return kExitFailed;
  return zun::PrintDocumentInfo(parsed.operands[0], *codec, std::cout, std::cerr) ? kExitOk : kExitFailed;
}

int Run(const std::vector<std::string>& args) {
  const Arguments parsed = ParseArguments(
      args, {{"--dir", true}, {"--yes", false}, {"--skip", false}, {"--wait", false}, {"--prefer", true}});
  if (parsed.help) return PrintHelp();
  if (!parsed.problem.empty()) return UsageError(parsed.problem);
  if (!parsed.operands.empty()) return UsageError("run takes no file; give the data folder with --dir");
  RunOptions options;
  for (const auto& [option, value] : parsed.options) {
    if (option == "--dir") {
      if (value.empty()) return UsageError("--dir needs a folder");
      options.dir = value;
    } else if (option == "--yes") {
      options.overwrite = true;
    } else if (option == "--skip") {
      options.overwrite = false;
    } else if (option == "--wait") {
      options.wait = zun::LockWait::Yes;
    } else if (option == "--prefer") {
      if (value != "pc" && value != "palm") return UsageError("--prefer takes pc or palm");
      options.bothChangedAnswer = value == "pc" ? zun::PromptAnswer::UpdatePalm : zun::PromptAnswer::UpdatePc;
    }
  }
  return RunTaskList(options, std::cout, std::cerr);
}

int Main(std::vector<std::string> args) {
  if (args.empty()) return UsageError("no command given");
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "--help" || command == "-h" || command == "help") return PrintHelp();
  if (command == "--version") {
    std::cout << "zundoc (ZUN2) " << zun::kVersion << "\n";
    return kExitOk;
  }
  if (command == "encode") return Encode(args);
  if (command == "decode") return Decode(args);
  if (command == "info") return Info(args);
  if (command == "run") return Run(args);
  if (command.starts_with("-")) return UsageError("unknown option " + command);
  return UsageError("unknown command " + command);
}

}  // namespace
}  // namespace zundoc

int main(int argc, char** argv) { return zundoc::Main(std::vector<std::string>(argv + 1, argv + argc)); }
