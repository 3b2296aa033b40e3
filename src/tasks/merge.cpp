#include "tasks/merge.h"

#include <git2.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "glue/paths.h"

namespace zun {
namespace {

constexpr size_t kShownLines = 5;
constexpr size_t kShownLineBytes = 200;
constexpr size_t kMinMarkerSize = 7;

// The lines of a text, each with its LF; the last one may have none.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    const size_t next = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, next - start));
    start = next;
  }
  return lines;
}

bool UsesCrLf(std::string_view text) {
  const size_t end = text.find('\n');
  return end != std::string_view::npos && end > 0 && text[end - 1] == '\r';
}

struct Hunk {
  size_t oldBegin, oldCount, newBegin, newCount;  // 0-based lines
};

int CollectHunk(const git_diff_delta*, const git_diff_hunk* hunk, void* payload) {
  // A hunk that only inserts (or only deletes) names the line before it.
  const auto begin = [](int start, int count) { return static_cast<size_t>(count == 0 ? start : start - 1); };
  static_cast<std::vector<Hunk>*>(payload)->push_back(
      Hunk{begin(hunk->old_start, hunk->old_lines), static_cast<size_t>(hunk->old_lines),
           begin(hunk->new_start, hunk->new_lines), static_cast<size_t>(hunk->new_lines)});
  return 0;
}

// The changed places between two texts, by lines, in order; nothing when libgit2 fails.
std::optional<std::vector<Hunk>> LineHunks(const std::string& before, const std::string& after) {
  UseLibgit2();
  git_diff_options options{};
  git_diff_options_init(&options, GIT_DIFF_OPTIONS_VERSION);
  options.context_lines = 0;
  options.interhunk_lines = 0;
  options.flags = GIT_DIFF_FORCE_TEXT;
  options.max_size = -1;
  std::vector<Hunk> hunks;
  if (git_diff_buffers(before.data(), before.size(), nullptr, after.data(), after.size(), nullptr, &options, nullptr,
                       nullptr, CollectHunk, nullptr, &hunks) != 0) {
    return std::nullopt;
  }
  return hunks;
}

// The longest run of `c` that begins a line of `text`.
size_t LongestRunAtLineStart(std::string_view text, char c) {
  size_t longest = 0;
  for (const std::string_view line : SplitLines(text)) {
    const size_t run = std::min(line.find_first_not_of(c), line.size());
    longest = std::max(longest, run);
  }
  return longest;
}

// A conflict marker no line of the inputs could be mistaken for.
size_t MarkerSize(std::initializer_list<const std::string*> texts) {
  size_t longest = 0;
  for (const std::string* text : texts) {
    for (const char c : {'<', '=', '>', '|'}) longest = std::max(longest, LongestRunAtLineStart(*text, c));
  }
  return std::max(kMinMarkerSize, longest + 1);
}

bool IsMarker(std::string_view line, char c, size_t size) {
  if (line.size() < size || line.find_first_not_of(c) < size) return false;
  return line.size() == size || line[size] == ' ' || line[size] == '\n' || line[size] == '\r';
}

std::string ShownLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return CutAtCharacterBoundary(line, kShownLineBytes);
}

// The places where git's merge left markers: how many, and the lines of each side at the first.
Collision CollisionsIn(std::string_view merged, size_t markerSize) {
  Collision collision;
  enum class In { Neither, Ours, Theirs } in = In::Neither;
  for (const std::string_view line : SplitLines(merged)) {
    if (IsMarker(line, '<', markerSize)) {
      in = In::Ours;
      ++collision.places;
    } else if (in == In::Ours && IsMarker(line, '=', markerSize)) {
      in = In::Theirs;
    } else if (in == In::Theirs && IsMarker(line, '>', markerSize)) {
      in = In::Neither;
    } else if (in != In::Neither && collision.places == 1) {
      std::vector<std::string>& side = in == In::Ours ? collision.pcLines : collision.palmLines;
      if (side.size() <= kShownLines) side.push_back(side.size() < kShownLines ? ShownLine(line) : "...");
    }
  }
  return collision;
}

}  // namespace

void UseLibgit2() {
  static const int ready = git_libgit2_init();
  (void)ready;
}

bool FiltersKeepLines(const TaskRecord& task) {
  if (IsEntryChecked(task.Options, kOptStripHtml)) return false;
  return IsEntryChecked(task.Options, kOptRaw) || !IsEntryChecked(task.Options, kOptCrToLf);
}

std::optional<std::string> HandheldEditsOnBase(const Base& base, const std::string& documentText,
                                               const std::string& documentAsPc) {
  const std::vector<std::string_view> pcLines = SplitLines(base.pcText);
  const std::vector<std::string_view> newLines = SplitLines(documentAsPc);
  if (pcLines.size() != SplitLines(base.documentText).size() || newLines.size() != SplitLines(documentText).size()) {
    return std::nullopt;
  }
  const std::optional<std::vector<Hunk>> hunks = LineHunks(base.documentText, documentText);
  if (!hunks) return std::nullopt;
  const bool crLf = UsesCrLf(base.pcText);
  std::string theirs;
  theirs.reserve(base.pcText.size() + documentText.size() / 8);
  size_t kept = 0;  // the next base line not yet taken
  for (const Hunk& hunk : *hunks) {
    if (hunk.oldBegin < kept || hunk.oldBegin + hunk.oldCount > pcLines.size() ||
        hunk.newBegin + hunk.newCount > newLines.size()) {
      return std::nullopt;
    }
    for (; kept < hunk.oldBegin; ++kept) theirs += pcLines[kept];
    for (size_t i = hunk.newBegin; i < hunk.newBegin + hunk.newCount; ++i) {
      std::string line(newLines[i]);
      if (crLf && line.ends_with('\n') && !line.ends_with("\r\n")) line.insert(line.size() - 1, 1, '\r');
      theirs += line;
    }
    kept = hunk.oldBegin + hunk.oldCount;
  }
  for (; kept < pcLines.size(); ++kept) theirs += pcLines[kept];
  return theirs;
}

LineMerge MergeLines(const std::string& ancestor, const std::string& ours, const std::string& theirs) {
  UseLibgit2();
  LineMerge outcome;
  const size_t markerSize = MarkerSize({&ancestor, &ours, &theirs});
  if (markerSize > UINT16_MAX) return outcome;  // no marker would be safe: a collision without lines
  const auto input = [](const std::string& text) {
    git_merge_file_input in{};
    git_merge_file_input_init(&in, GIT_MERGE_FILE_INPUT_VERSION);
    in.ptr = text.data();
    in.size = text.size();
    return in;
  };
  const git_merge_file_input base = input(ancestor);
  const git_merge_file_input mine = input(ours);
  const git_merge_file_input other = input(theirs);
  git_merge_file_options options{};
  git_merge_file_options_init(&options, GIT_MERGE_FILE_OPTIONS_VERSION);
  options.flags = GIT_MERGE_FILE_STYLE_MERGE;
  options.marker_size = static_cast<unsigned short>(markerSize);
  git_merge_file_result result{};
  if (git_merge_file(&result, &base, &mine, &other, &options) != 0) return outcome;
  const std::unique_ptr<git_merge_file_result, void (*)(git_merge_file_result*)> owned(&result,
                                                                                       git_merge_file_result_free);
  const std::string_view merged(result.ptr != nullptr ? result.ptr : "", result.ptr != nullptr ? result.len : 0);
  if (result.automergeable != 0) {
    outcome.merged = true;
    outcome.text.assign(merged);
  } else {
    outcome.collision = CollisionsIn(merged, markerSize);
    outcome.collision.places = std::max(outcome.collision.places, 1);
  }
  return outcome;
}

}  // namespace zun
