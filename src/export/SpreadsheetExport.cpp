#include "export/SpreadsheetExport.h"

#include "platform/files/PathText.h"
#include "platform/shell/MessageService.h"
#include "platform/spreadsheet/FileNameText.h"

#include <algorithm>
#include <system_error>

namespace parlomax::exporting {
namespace {

using spreadsheet::Arguments;
using spreadsheet::AsObject;
using spreadsheet::ObjectRef;
using spreadsheet::Variant;

// Automation constants of the calls below.
constexpr std::int32_t kCentre = 3;
constexpr std::int32_t kGrey = 15;
constexpr std::int32_t kSolid = 1;
constexpr std::int32_t kAutomatic = -4105;
constexpr std::int32_t kHeaderRowHeight = 20;
constexpr std::int32_t kRowHeight = 16;

ObjectRef Get(const ObjectRef& object, const QString& property, const Arguments& arguments = {}) {
  return AsObject(object->Get(property, arguments), property);
}

Variant Int(int v) { return static_cast<std::int32_t>(v); }

// The folder a saved file lies in, as the file manager is to open it.
std::filesystem::path FolderOf(const std::filesystem::path& file) {
  std::error_code ec;
  const std::filesystem::path whole = std::filesystem::absolute(file, ec);
  return (ec ? file : whole).parent_path();
}

}  // namespace

QString ExportFileName(const QString& saveFolder, const QString& nameBox) {
  return saveFolder + (nameBox.isEmpty() ? QStringLiteral("FileInfoList") : nameBox) +
         QStringLiteral(".xls");
}

double ExportColumnWidth() { return static_cast<double>(35.0L * (1.0L / 2.6L)); }

ExportOutcome ExportListToSpreadsheet(const ExportTable& table, const QString& fileName,
                                      spreadsheet::AutomationFactory& automation,
                                      shell::MessageService& messages, ExistingFile existing) {
  return ExportListToSpreadsheet(table, files::PathOf(fileName), automation, messages, existing);
}

ExportOutcome ExportListToSpreadsheet(const ExportTable& table, const std::filesystem::path& file,
                                      spreadsheet::AutomationFactory& automation,
                                      shell::MessageService& messages, ExistingFile existing) {
  std::error_code ec;
  // The earlier file stays until the new one is saved whole: the save puts
  // it in its place, so a full disk or a failed call leaves the old list.
  if (existing == ExistingFile::AskFirst &&
      std::filesystem::exists(std::filesystem::symlink_status(file, ec)) &&
      !messages.AskOkCancel(kFileExistsQuestion)) {
    messages.Warn(kAbandonedMessage);
    return ExportOutcome::Abandoned;
  }
  ObjectRef app = automation.Create(QStringLiteral("Excel.Application"));
  if (!app) {
    messages.Show(kStartFailedCaption, kStartFailedMessage, shell::MessageIcon::Error);
    return ExportOutcome::NotStarted;
  }
  try {
    app->Set(QStringLiteral("Visible"), true);
    Get(app, QStringLiteral("Workbooks"))->Call(QStringLiteral("Add"), {Int(1)});
    ObjectRef sheet = Get(Get(app, QStringLiteral("ActiveWorkbook")), QStringLiteral("Sheets"), {Int(1)});
    Get(app, QStringLiteral("Cells"))->Set(QStringLiteral("NumberFormatLocal"), QStringLiteral("@"));
    Get(app, QStringLiteral("Cells"))->Set(QStringLiteral("HorizontalAlignment"), Int(kCentre));
    sheet->Call(QStringLiteral("Select"));
    Get(sheet, QStringLiteral("Cells"))->Call(QStringLiteral("Select"));
    Get(Get(app, QStringLiteral("Selection")), QStringLiteral("Font"))
        ->Set(QStringLiteral("Size"), Int(table.fontPointSize));
    Get(Get(app, QStringLiteral("Selection")), QStringLiteral("Font"))
        ->Set(QStringLiteral("Name"), table.fontName);
    Get(Get(app, QStringLiteral("Selection")), QStringLiteral("Font"))
        ->Set(QStringLiteral("FontStyle"), QStringLiteral("常规"));
    Get(sheet, QStringLiteral("Cells"), {Int(1), Int(1)})->Call(QStringLiteral("Select"));

    const int columns = std::max<int>(1, static_cast<int>(table.columnCaptions.size()));
    for (int c = 1; c <= columns; ++c) {
      Get(app, QStringLiteral("Columns"), {Int(c)})->Set(QStringLiteral("ColumnWidth"), ExportColumnWidth());
    }
    for (int j = 1; j <= static_cast<int>(table.columnCaptions.size()); ++j) {
      Get(app, QStringLiteral("Rows"), {Int(1)})->Set(QStringLiteral("RowHeight"), Int(kHeaderRowHeight));
      const ObjectRef cell = Get(sheet, QStringLiteral("Cells"), {Int(1), Int(j)});
      cell->Set(QStringLiteral("Value"), table.columnCaptions[j - 1]);
      const ObjectRef interior = Get(cell, QStringLiteral("Interior"));
      interior->Set(QStringLiteral("ColorIndex"), Int(kGrey));
      interior->Set(QStringLiteral("Pattern"), Int(kSolid));
      interior->Set(QStringLiteral("PatternColorIndex"), Int(kAutomatic));
    }
    for (int r = 1; r <= static_cast<int>(table.rows.size()); ++r) {
      const auto& row = table.rows[r - 1];
      Get(app, QStringLiteral("Rows"), {Int(r + 1)})->Set(QStringLiteral("RowHeight"), Int(kRowHeight));
      Get(sheet, QStringLiteral("Cells"), {Int(r + 1), Int(1)})->Set(QStringLiteral("Value"), row.caption);
      for (int k = 1; k <= static_cast<int>(row.subItems.size()); ++k) {
        Get(sheet, QStringLiteral("Cells"), {Int(r + 1), Int(k + 1)})
            ->Set(QStringLiteral("Value"), row.subItems[k - 1]);
      }
    }
    Get(app, QStringLiteral("ActiveWorkbook"))
        ->Call(QStringLiteral("SaveAs"), {spreadsheet::FileNameText(file)});
    app->Call(QStringLiteral("Quit"));
  } catch (...) {
    // The application is told to quit all the same, or it would stay behind.
    try {
      app->Call(QStringLiteral("Quit"));
    } catch (...) {
    }
    throw;
  }
  app.reset();
  messages.InformWithFolder(kDoneCaption, kDoneMessage, shell::MessageIcon::Information,
                            files::PathText(file), files::PathText(FolderOf(file)));
  return ExportOutcome::Saved;
}

}  // namespace parlomax::exporting
