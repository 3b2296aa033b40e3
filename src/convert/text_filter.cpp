#include "convert/text_filter.h"

#include <algorithm>

#include "glue/byte_file.h"
#include "glue/file_problem.h"
#include "pdb/pdb_file.h"

namespace zun {

void FilterBlock(const uint8_t* data, size_t size, bool expandTabs, int tabBlanks, bool crToLf,
                 std::vector<uint8_t>& out) {
  for (size_t i = 0; i < size; ++i) {
    const uint8_t c = data[i];
    if (c == '\r') {
      if (crToLf) out.push_back('\n');
    } else if (c == '\t' && expandTabs) {
      out.insert(out.end(), static_cast<size_t>(std::max(tabBlanks, 0)), ' ');
    } else {
      out.push_back(c);
    }
  }
}

ByteFile FilterText(ByteFile pcText, const TaskRecord& task, ConversionEnv& env) {
  if (IsEntryChecked(task.Options, kOptRaw)) return pcText;
  const bool expandTabs = IsEntryChecked(task.Options, kOptTabsToSpaces);
  const bool crToLf = IsEntryChecked(task.Options, kOptCrToLf);
  // Stored as found on disk; the filter keeps to the editor's range.
  const int tabBlanks = std::clamp<int>(task.TabSpace, 0, kMaxTabSpace);
  const int64_t length = pcText.Length();
  const int32_t blocks = static_cast<int32_t>((length + kDocRecordSize - 1) / kDocRecordSize);
  env.host.SetProgressCaption(kFilterCaption);
  env.host.SetProgressRange(blocks);
  env.host.LetEventsRun();
  ByteFile target = CreateWorkFile(env);
  std::vector<uint8_t> filtered;
  filtered.reserve(size_t{kDocRecordSize} * 2);
  for (int32_t i = 1; i <= blocks; ++i) {
    ProgressStep(env, i, blocks);
    const int64_t start = int64_t{i - 1} * kDocRecordSize;
    const size_t size = static_cast<size_t>(std::min<int64_t>(kDocRecordSize, length - start));
    filtered.clear();
    FilterBlock(pcText.View(start, size).data(), size, expandTabs, tabBlanks, crToLf, filtered);
    target.Append(filtered);
  }
  // What was read may mix old and new text.
  if (pcText.ChangedSinceOpening()) throw FileError(task.PcFile.Trimmed(), kChangedWhileRead);
  return std::move(target).ReadBack();
}

}  // namespace zun
