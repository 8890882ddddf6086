#include "platform/spreadsheet/SheetModel.h"

#include <algorithm>

namespace parlomax::spreadsheet {

Cell& SheetModel::At(int row, int column) {
  if (static_cast<int>(rows.size()) < row) rows.resize(row);
  auto& cells = rows[row - 1];
  if (static_cast<int>(cells.size()) < column) {
    // Rows fill from left to right, a cell at a time: grow in steps.
    if (static_cast<int>(cells.capacity()) < column) cells.reserve(std::max(column, 8));
    cells.resize(column);
  }
  return cells[column - 1];
}

}  // namespace parlomax::spreadsheet
