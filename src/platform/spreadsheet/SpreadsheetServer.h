#pragma once

#include "platform/spreadsheet/Automation.h"

#include <memory>

namespace parlomax::spreadsheet {

inline const QString kSpreadsheetClass = QStringLiteral("Excel.Application");

// Our own spreadsheet application, reached by automation under the class
// name "Excel.Application". It keeps one workbook of one sheet in memory,
// as the calls build it, and SaveAs writes it as an Excel 97-2003 file.
//
// It understands what the list export uses: Visible, Workbooks.Add,
// ActiveWorkbook, Sheets(1), Cells, Cells(row, column), Columns(c), Rows(r),
// Selection, Select, Font (Size, Name, FontStyle), Interior (ColorIndex,
// Pattern, PatternColorIndex), NumberFormatLocal, HorizontalAlignment,
// Value, RowHeight, ColumnWidth, SaveAs and Quit. Anything else throws
// AutomationError.
ObjectRef StartSpreadsheetServer();

// The factory of the program: our server under its class name, nothing else.
class BuiltInAutomation final : public AutomationFactory {
 public:
  ObjectRef Create(const QString& className) override;
};

}  // namespace parlomax::spreadsheet
