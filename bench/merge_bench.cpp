// Merging two 5 MB texts with scattered edits: the PC's and the handheld's changes on different
// lines (a line changed in every thousand on each side, some deleted on the PC, some added on the
// handheld). Prints the median of 5 of: the handheld's edits applied to the base, the line merge
// alone, and a whole both-ways task that merges (files read, the merged text written, the document
// made, the base kept).
// usage: merge_bench [TEXT]   (default bench/corpus/bible.txt, else the GPL; repeated to 5 MB)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "convert/text_to_document.h"
#include "glue/codec_loader.h"
#include "hotsync/user_manager.h"
#include "support/scripted_host.h"
#include "tasks/merge.h"
#include "tasks/task_run.h"
#include "zun2/zun2.h"

namespace {

constexpr size_t kTextSize = 5 << 20;
constexpr int kRepeats = 5;

std::vector<std::string> BaseLines(const std::string& source) {
  std::ifstream in(source);
  std::stringstream whole;
  whole << in.rdbuf();
  const std::string text = whole.str();
  std::vector<std::string> lines;
  for (size_t size = 0; !text.empty() && size < kTextSize;) {
    std::istringstream read(text);
    for (std::string line; size < kTextSize && std::getline(read, line);) {
      lines.push_back(line + "\n");
      size += line.size() + 1;
    }
  }
  return lines;
}

std::string Edited(const std::vector<std::string>& lines, bool handheld) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!handheld && i % 1000 == 0) {
      text += "A line edited on the PC.\n";
    } else if (handheld && i % 1000 == 500) {
      text += "A line edited on the handheld.\n";
    } else if (handheld || i % 5000 != 250) {  // the PC deletes some lines
      text += lines[i];
    }
    if (handheld && i % 4000 == 750) text += "A line the handheld added.\n";
  }
  return text;
}

// The median time of `work`, each time after `setup`.
double Median(
    const std::function<void()>& work, const std::function<void()>& setup = [] {}) {
  std::vector<double> times;
  for (int i = 0; i < kRepeats; ++i) {
    setup();
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The whole task: a both-ways task with "Raw!" whose both sides changed since its base. Clears
// `merged` when it did not merge.
double TimeWholeTask(const std::string& base, const std::string& ours, const std::string& handheld, bool& merged) {
  std::string pattern = (std::filesystem::temp_directory_path() / "zun2-merge-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::exit(1);
  const std::string dir = pattern + "/";
  ::setenv("XDG_DATA_HOME", (dir + "share").c_str(), 1);
  const zun::DocCodec codec{&Compress, &GetUncompSize, &DeCompress, &CalcPalmTime};
  zun::NoUsers users;
  zun::ScriptedHost host;
  zun::RunFlags flags;
  zun::ConversionEnv env{codec, users, host, flags, dir};
  env.keepBases = env.useTrash = true;
  zun::TaskRecord task = zun::DefaultSettingsRecord();
  task.Action = zun::TaskAction::BothWays;
  task.Options = "1    11";  // Compress, Raw!, UTF-8 Text
  task.PcFile = dir + "notes.txt";
  task.PalmFile = dir + "notes.pdb";
  zun::TaskRecord running;
  const auto setup = [&] {
    std::filesystem::remove(dir + "notes.pdb");
    running = task;
    Write(dir + "notes.txt", base);
    zun::RunTask(running, env);  // the document and the base
    zun::TaskRecord edit = running;
    edit.Action = zun::TaskAction::PcToPalm;
    edit.PcFile = dir + "handheld.txt";
    Write(dir + "handheld.txt", handheld);
    zun::ConversionEnv direct{codec, users, host, flags, dir};
    zun::ConvertTextToDocument(edit, direct);
    Write(dir + "notes.txt", ours);
    const auto later = std::filesystem::file_time_type::clock::now() + std::chrono::seconds(60);
    for (const char* side : {"notes.txt", "notes.pdb"}) std::filesystem::last_write_time(dir + side, later);
  };
  const double seconds = Median(
      [&] {
        zun::RunTask(running, env);
        merged &= running.Status.Trimmed() == "OK" && host.bothChangedPrompts == 0;
      },
      setup);
  std::filesystem::remove_all(pattern);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string source = argc > 1                                            ? argv[1]
                             : std::filesystem::exists("bench/corpus/bible.txt") ? "bench/corpus/bible.txt"
                                                                                 : "/usr/share/common-licenses/GPL-3";
  const std::vector<std::string> lines = BaseLines(source);
  std::string base;
  for (const std::string& line : lines) base += line;
  const std::string ours = Edited(lines, false);
  const std::string handheld = Edited(lines, true);
  std::printf("%s: %zu bytes, %zu lines\n", source.c_str(), base.size(), lines.size());

  zun::LineMerge merge;
  std::optional<std::string> theirs;
  const double applied = Median([&] { theirs = zun::HandheldEditsOnBase({base, base}, handheld, handheld); });
  const double merged = Median([&] { merge = zun::MergeLines(base, ours, theirs.value_or("")); });
  std::printf("handheld's edits applied to the base: %.3f s\nline merge: %.3f s (%s)\n", applied, merged,
              merge.merged ? "merged" : "collided");

  bool allMerged = merge.merged;
  const double whole = TimeWholeTask(base, ours, handheld, allMerged);
  std::printf("whole task: %.3f s (%s)\n", whole, allMerged ? "merged" : "asked");
  return allMerged ? 0 : 1;
}
