#pragma once

#include "platform/spreadsheet/SheetModel.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace parlomax::spreadsheet {

// The "Workbook" stream of an Excel 97-2003 file (BIFF8) holding one sheet.
std::vector<std::uint8_t> WorkbookStream(const SheetModel& sheet);

// The whole .xls file: the workbook stream inside a compound file.
std::vector<std::uint8_t> XlsFile(const SheetModel& sheet);

}  // namespace parlomax::spreadsheet
