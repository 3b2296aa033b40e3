// Numbers of the task list: column widths, the column a click lands in, the scroll bar.
#pragma once
#include <cstdint>

namespace zun {

inline constexpr int kTwipsPerPixel = 15;

struct ColumnLayout {
  int32_t width = 0;      // W: the list's width less 60 twips
  int32_t fileWidth = 0;  // F: 11/24 of W, rounded half to even
  int32_t SyncWidth() const { return width - 2 * fileWidth; }
};

ColumnLayout ColumnsForWidth(int32_t listWidthTwips);

enum class ListColumn { Sync = 0, PcFile = 1, PalmFile = 2 };
// "PC File" left of F, "Sync" from F to W - F (both included), "Palm File" beyond.
ListColumn ColumnAt(int32_t xTwips, const ColumnLayout& layout);

struct ScrollRange {
  int32_t minimum = 1;
  int32_t maximum = 1;
  int32_t largeChange = 0;
};
// For `rows` rows of which `perPage` fit on a page.
ScrollRange ScrollRangeFor(int32_t rows, int32_t perPage);

// The top row that shows `row`, starting from `top`.
int32_t TopRowShowing(int32_t row, int32_t top, int32_t perPage);

}  // namespace zun
