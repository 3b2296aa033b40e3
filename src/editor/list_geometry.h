// Numbers of the task list: column widths, the column a click lands in, the scroll bar.
#pragma once
#include <cstdint>

namespace zun {

// Widths in pixels. The two file columns share what "Sync" leaves: "Sync" takes 1/12 of the
// list (the file columns 11/24 each, rounded half to even) but never less than it needs to
// show its picture and symbol readably.
struct ColumnWidths {
  int32_t sync = 0;
  int32_t pcFile = 0;
  int32_t palmFile = 0;
};
ColumnWidths ColumnWidthsFor(int32_t listWidth, int32_t syncMinimum);

enum class ListColumn { Sync = 0, PcFile = 1, PalmFile = 2 };

// Where the columns end on screen, measured from the list's left edge. On screen the order is
// "PC File", "Sync", "Palm File"; the user may resize them, so clicks go by these real bounds.
struct ColumnBounds {
  int32_t pcFileEnd = 0;
  int32_t syncEnd = 0;
};
// "PC File" left of its end, "Sync" from there to its end (both included), "Palm File" beyond.
ListColumn ColumnAt(int32_t x, const ColumnBounds& bounds);

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
