#pragma once

#include "platform/spreadsheet/Automation.h"

#include <QString>

#include <filesystem>
#include <vector>

namespace parlomax::shell {
class MessageService;
}

namespace parlomax::exporting {

inline const QString kFileExistsQuestion = QStringLiteral("文件已经存在,是否删除?");
inline const QString kAbandonedMessage = QStringLiteral("放弃操作");
inline const QString kStartFailedMessage = QStringLiteral("启动 Excel 出错, 可能是没有安装Excel.");
inline const QString kStartFailedCaption = QStringLiteral("导出 Excel");
inline const QString kDoneMessage = QStringLiteral("导出 Excel 结束！");
inline const QString kDoneCaption = QStringLiteral("导出 Excel ");

// A list as it stands in its view: column captions, and each row's caption
// and sub-items.
struct ExportTable {
  struct Row {
    QString caption;
    std::vector<QString> subItems;
  };
  std::vector<QString> columnCaptions;
  std::vector<Row> rows;
  QString fontName;
  int fontPointSize = 8;
};

// The save folder's text, then the name box's text (or "FileInfoList" when
// it is empty), then ".xls"; nothing is added between them.
QString ExportFileName(const QString& saveFolder, const QString& nameBox);

// The width every exported column gets: 35 / 2.6 characters.
double ExportColumnWidth();

// What becomes of a file already under the export's name. Either way it is
// replaced only by a saved, complete list: a failed export leaves it as it was.
enum class ExistingFile {
  // The user is asked first ("文件已经存在,是否删除?"); Cancel keeps it.
  AskFirst,
  // No question: the user said so beforehand.
  ReplaceWhenSaved,
};

enum class ExportOutcome {
  Saved,
  Abandoned,   // the user kept the existing file
  NotStarted,  // the spreadsheet application could not be started
};

// Writes `table` into a new workbook through the spreadsheet application's
// automation and has it saved as `file`, whose bytes are taken as they are
// (a name that is not UTF-8 included). A failed automation call after the
// start, the save included, is thrown on, but only after the application
// was told to quit, so that it never lingers; the success message is shown
// only for a saved file.
ExportOutcome ExportListToSpreadsheet(const ExportTable& table, const std::filesystem::path& file,
                                      spreadsheet::AutomationFactory& automation,
                                      shell::MessageService& messages,
                                      ExistingFile existing = ExistingFile::AskFirst);
// The same for a file named by the window's texts.
ExportOutcome ExportListToSpreadsheet(const ExportTable& table, const QString& fileName,
                                      spreadsheet::AutomationFactory& automation,
                                      shell::MessageService& messages,
                                      ExistingFile existing = ExistingFile::AskFirst);

}  // namespace parlomax::exporting
