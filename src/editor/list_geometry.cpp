#include "editor/list_geometry.h"

#include <algorithm>
#include <cmath>

namespace zun {

ColumnWidths ColumnWidthsFor(int32_t listWidth, int32_t syncMinimum) {
  const auto file = static_cast<int32_t>(std::nearbyint(listWidth / 24.0 * (24.0 / 2 - 1)));
  ColumnWidths widths;
  widths.sync = std::min(std::max(listWidth - 2 * file, syncMinimum), std::max(listWidth, 0));
  widths.pcFile = (listWidth - widths.sync) / 2;
  widths.palmFile = listWidth - widths.sync - widths.pcFile;
  return widths;
}

ListColumn ColumnAt(int32_t x, const ColumnBounds& bounds) {
  if (x < bounds.pcFileEnd) return ListColumn::PcFile;
  if (x <= bounds.syncEnd) return ListColumn::Sync;
  return ListColumn::PalmFile;
}

ScrollRange ScrollRangeFor(int32_t rows, int32_t perPage) {
  ScrollRange range;
  range.maximum = perPage <= rows ? rows - perPage + 1 : 1;
  range.largeChange = perPage - 1;
  return range;
}

int32_t TopRowShowing(int32_t row, int32_t top, int32_t perPage) {
  if (row < top) return row;
  if (perPage > 0 && row >= top + perPage) return row - perPage + 1;
  return top;
}

}  // namespace zun
