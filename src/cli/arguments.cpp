#include "cli/arguments.h"

#include <cstdlib>
#include <iostream>

#include "cli/exit_status.h"
#include "cli/run_command.h"

namespace zundoc {
namespace {

const char* const kHelp =
    "Usage: zundoc encode [OPTION]... TEXT PDB   text file to Palm document\n"
    "       zundoc decode [--charset NAME] PDB TEXT   Palm document to text file\n"
    "       zundoc info PDB                      what a Palm database holds\n"
    "       zundoc run [OPTION]...               the task list of a data folder\n"
    "       zundoc watch [--dir DIR] [--quiet SECONDS] [--no-trash]\n"
    "                                            run its tasks whenever their files change\n"
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
    "  --dir DIR         the data folder with zundata.dat (default: the window's,\n"
    "                    $XDG_DATA_HOME/zun2 or ~/.local/share/zun2; a missing folder\n"
    "                    or data file is created); relative paths of tasks are\n"
    "                    taken from it\n"
    "  --yes             answer Overwrite when a file exists and asking is on\n"
    "  --skip            answer Skip (the default)\n"
    "  --wait            wait while another ZUN2 (a window or a run) uses the\n"
    "                    data folder, instead of exiting with status 3\n"
    "  --prefer pc       when changes of both files collide, keep the PC file's text\n"
    "  --prefer palm     when changes of both files collide, keep the document's\n"
    "                    text (changes on different lines are merged)\n"
    "  --no-trash        replace files without a copy in the Trash\n"
    "\n"
    "Watch options:\n"
    "  --dir DIR         the data folder, as for run\n"
    "  --quiet SECONDS   how long the files must be quiet before their tasks run\n"
    "                    (default 2; fractions such as 0.5 too)\n"
    "  --no-trash        replace files without a copy in the Trash, as for run\n"
    "Watch runs, unattended, each task whose files changed: it never replaces a file\n"
    "the task never converted, and leaves both files as they are when both changed\n"
    "and cannot be merged (the status says so, and a desktop notification). It\n"
    "holds the data folder only while it runs; SIGINT or SIGTERM end it after the\n"
    "task in hand.\n"
    "\n"
    "Encode and decode replace an existing output file and print the status (\"OK\"\n"
    "or the error); a failure also says on standard error which file and why.\n"
    "Run prints a line for each task as soon as it is done: row, PC file, Palm\n"
    "file, sync symbol and status, separated by TABs; control characters are shown\n"
    "as \\t, \\n, \\r or \\xHH and a backslash as \\\\. On a terminal, work that takes\n"
    "longer than a second shows its progress on standard error.\n"
    "\n"
    "Exit status: 0 on success; 1 when a conversion or a task run failed; 2 on a\n"
    "usage error; 3 when another ZUN2 uses the data folder. See zundoc(1).\n";

// The option `arg` names among `known`, with its value taken from "=" or the next argument.
std::string TakeOption(const std::vector<std::string>& args, size_t& i, const std::vector<OptionSpec>& known,
                       Arguments& parsed) {
  const std::string& arg = args[i];
  const size_t equals = arg.find('=');
  const std::string name = arg.substr(0, equals);
  const OptionSpec* spec = nullptr;
  for (const OptionSpec& candidate : known) {
    if (name == candidate.name) spec = &candidate;
  }
  if (spec == nullptr) return "unknown option " + name;
  std::string value;
  if (equals != std::string::npos) {
    if (!spec->takesValue) return "option " + name + " takes no value";
    value = arg.substr(equals + 1);
  } else if (spec->takesValue) {
    if (i + 1 >= args.size()) return "option " + name + " needs a value";
    value = args[++i];
  }
  parsed.options.emplace_back(name, value);
  return {};
}

}  // namespace

Arguments ParseArguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& known) {
  Arguments parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size() && parsed.problem.empty(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
      parsed.operands.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else {
      parsed.problem = TakeOption(args, i, known, parsed);
    }
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

int PrintHelp() {
  std::cout << kHelp;
  return kExitOk;
}

int UsageError(const std::string& problem) {
  std::cerr << "zundoc: " << problem << "\nTry 'zundoc --help'.\n";
  return kExitUsage;
}

void PrintFailure(const std::string& file, const std::string& reason) {
  std::cerr << "zundoc: " << EscapeControls(file) << ": " << reason << "\n";
}

}  // namespace zundoc
