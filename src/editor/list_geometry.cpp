#include "editor/list_geometry.h"

#include <cmath>

namespace zun {

ColumnLayout ColumnsForWidth(int32_t listWidthTwips) {
  ColumnLayout layout;
  layout.width = listWidthTwips - 60;
  layout.fileWidth = static_cast<int32_t>(std::nearbyint(layout.width / 24.0 * (24.0 / 2 - 1)));
  return layout;
}

ListColumn ColumnAt(int32_t xTwips, const ColumnLayout& layout) {
  if (xTwips < layout.fileWidth) return ListColumn::PcFile;
  if (xTwips <= layout.width - layout.fileWidth) return ListColumn::Sync;
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
