// zundoc's command lines: options and operands, numbers, and the messages about them.
#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zundoc {

struct OptionSpec {
  const char* name;
  bool takesValue;
};

// A command's arguments: options (a value follows as the next argument or after "="), anywhere
// before "--", and operands. "-" is an operand; "--help" and "-h" ask for help.
struct Arguments {
  std::vector<std::pair<std::string, std::string>> options;
  std::vector<std::string> operands;
  std::string problem;  // empty when they are fine
  bool help = false;
};

Arguments ParseArguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& known);

// A number of at most three digits from `low` to `high`.
std::optional<int> ParseNumber(const std::string& text, int low, int high);

// Prints the usage text on standard output; the exit status for it.
int PrintHelp();
// Prints the problem and the pointer to --help on standard error; the exit status for it.
int UsageError(const std::string& problem);
// Prints "zundoc: FILE: reason" on standard error, FILE's control characters escaped.
void PrintFailure(const std::string& file, const std::string& reason);

}  // namespace zundoc
