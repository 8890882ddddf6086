#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace parlomax::spreadsheet {

// How a cell looks: the parts of a cell's format the spreadsheet keeps.
struct CellStyle {
  bool textFormat = false;         // number format "@"
  std::int32_t horizontalAlignment = 1;  // automation values: 1 general, 3 centre
  std::int32_t fillColorIndex = 0;       // 0: no fill colour set
  std::int32_t fillPattern = 0;          // 0: no fill; 1: solid
  std::int32_t patternColorIndex = -4105;  // -4105: automatic

  bool operator==(const CellStyle&) const = default;
  auto operator<=>(const CellStyle&) const = default;
};

struct SheetFont {
  QString name = QStringLiteral("Arial");
  double size = 10;  // points
  bool bold = false;
  bool italic = false;
};

struct Cell {
  std::optional<QString> text;
  std::optional<CellStyle> style;  // none: the sheet's default style
};

// One worksheet as the automation calls have built it. Rows and columns
// count from 1, as automation counts them.
struct SheetModel {
  QString name = QStringLiteral("Sheet1");
  SheetFont font;
  CellStyle defaultStyle;
  std::map<int, double> columnWidths;  // in characters
  std::map<int, double> rowHeights;    // in points
  std::vector<std::vector<Cell>> rows;

  Cell& At(int row, int column);
  // The style a cell is drawn with.
  const CellStyle& StyleOf(const Cell& cell) const {
    return cell.style ? *cell.style : defaultStyle;
  }
};

}  // namespace parlomax::spreadsheet
