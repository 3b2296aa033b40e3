// zundoc: the document conversions and the task list for scripts, using the same code as the window.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/convert_commands.h"
#include "cli/doc_info.h"
#include "cli/exit_status.h"
#include "cli/run_command.h"
#include "cli/watch_command.h"
#include "glue/codec_loader.h"
#include "zun2_version.h"

namespace zundoc {
namespace {

int Info(const std::vector<std::string>& args) {
  const Arguments parsed = ParseArguments(args, {});
  if (parsed.help) return PrintHelp();
  if (!parsed.problem.empty()) return UsageError(parsed.problem);
  if (parsed.operands.size() != 1) return UsageError("info takes one document");
  if (parsed.operands[0] == "-") return UsageError("the document must be a file, not '-'");
  const std::optional<zun::DocCodec> codec = zun::LoadDocCodec(zun::CodecSearchFolders());
  if (!codec) {
    std::cerr << zun::kCodecMissingMessage << "\n";
    return kExitFailed;
  }
  return zun::PrintDocumentInfo(parsed.operands[0], *codec, std::cout, std::cerr) ? kExitOk : kExitFailed;
}

int Run(const std::vector<std::string>& args) {
  const Arguments parsed = ParseArguments(args, {{"--dir", true},
                                                 {"--yes", false},
                                                 {"--skip", false},
                                                 {"--wait", false},
                                                 {"--prefer", true},
                                                 {"--no-trash", false}});
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
    } else if (option == "--no-trash") {
      options.trash = false;
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
  if (command == "watch") return Watch(args);
  if (command.starts_with("-")) return UsageError("unknown option " + command);
  return UsageError("unknown command " + command);
}

}  // namespace
}  // namespace zundoc

int main(int argc, char** argv) { return zundoc::Main(std::vector<std::string>(argv + 1, argv + argc)); }
