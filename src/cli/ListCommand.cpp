// list and export: the telephone's list, as text, as JSON or as a sheet.
#include "catalogue/RecordingListLayout.h"
#include "cli/Commands.h"
#include "cli/Telephone.h"
#include "cli/TextColumns.h"
#include "export/SpreadsheetExport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <exception>

#include <unistd.h>

namespace parlomax::cli {
namespace {

QStringList Texts(const catalogue::DeviceListRow& row) {
  return catalogue::RowTexts(row.caption, row.fileName, row.texts);
}

QJsonObject JsonOf(const catalogue::DeviceListRow& row) {
  const auto fields = catalogue::DecodeRecordingHeader(row.header);
  QJsonObject texts;
  const QStringList captions = catalogue::RecordingListCaptions();
  const QStringList values = Texts(row);
  for (qsizetype c = 0; c < captions.size(); ++c) texts.insert(captions[c], values[c]);
  return QJsonObject{{"record", row.recordIndex + 1},
                     {"file_name", row.fileName},
                     {"type", static_cast<int>(fields.callType)},
                     {"month", static_cast<int>(fields.month)},
                     {"day", static_cast<int>(fields.day)},
                     {"hour", static_cast<int>(fields.hour)},
                     {"minute", static_cast<int>(fields.minute)},
                     {"number", fields.telephoneNumber},
                     {"start_address", static_cast<qint64>(fields.startAddress)},
                     {"payload_length", static_cast<qint64>(fields.payloadLength)},
                     {"duration_seconds", static_cast<qint64>(fields.durationSeconds)},
                     {"texts", texts}};
}

// Tab-separated for a program that reads it; on a terminal, for a person:
// the columns lined up by the cells each text takes.
QString Table(const std::vector<catalogue::DeviceListRow>& rows, bool terminal) {
  std::vector<QStringList> cells{catalogue::RecordingListCaptions()};
  // The list's texts pad themselves with blanks; lined up, they need not.
  for (const auto& row : rows) {
    QStringList texts = Texts(row);
    if (terminal) {
      for (QString& text : texts) text = text.trimmed();
    }
    cells.push_back(texts);
  }
  if (terminal) return AlignedColumns(cells);
  QString text;
  for (const auto& line : cells) text += line.join(u'\t') + u'\n';
  return text;
}

// The list, or the status to end with when it could not be read whole.
ExitStatus ReadWholeList(Telephone& telephone, TelephoneList& list) {
  list = telephone.ReadList();
  if (!list.count || telephone.Gone()) return telephone.FailureStatus();
  return kDone;
}

// Every record the telephone counts but the one it never hands out has a row.
bool Complete(const TelephoneList& list) {
  const std::uint32_t wanted = *list.count - (*list.count > catalogue::kNeverRequestedIndex ? 1 : 0);
  return list.rows.size() == wanted;
}

}  // namespace

ExitStatus RunList(Telephone& telephone, const Arguments& arguments) {
  TelephoneList list;
  if (const ExitStatus status = ReadWholeList(telephone, list); status != kDone) return status;
  QByteArray output;
  if (arguments.json) {
    QJsonArray array;
    for (const auto& row : list.rows) array.append(JsonOf(row));
    output = QJsonDocument(array).toJson(QJsonDocument::Indented);
  } else {
    output = Table(list.rows, ::isatty(STDOUT_FILENO) == 1).toUtf8();
  }
  const bool written = std::fwrite(output.constData(), 1, output.size(), stdout) == static_cast<std::size_t>(output.size()) &&
                       std::fflush(stdout) == 0;
  return written && Complete(list) ? kDone : kFailed;
}

ExitStatus CheckExportTarget(const Arguments& arguments, StatusLine& out) {
  const auto file = UserPath(arguments.operands[0]);
  if (!arguments.force && QFile::exists(PathText(file))) {
    Say(out, QStringLiteral("文件已经存在：%1（要替换它请加 --force）").arg(PathText(file)));
    return kFailed;
  }
  return kDone;
}

ExitStatus RunExport(Telephone& telephone, const Arguments& arguments, StatusLine& out, TerminalMessages& messages,
                     spreadsheet::AutomationFactory& automation) {
  TelephoneList list;
  if (const ExitStatus status = ReadWholeList(telephone, list); status != kDone) return status;
  exporting::ExportTable table;
  const QStringList captions = catalogue::RecordingListCaptions();
  table.columnCaptions.assign(captions.begin(), captions.end());
  for (const auto& row : list.rows) {
    const QStringList values = Texts(row);
    table.rows.push_back({values.front(), std::vector<QString>(values.begin() + 1, values.end())});
  }
  table.fontName = QString::fromUtf16(catalogue::kListFontFamily);
  table.fontPointSize = catalogue::kListFontPointSize;
  const QString file = PathText(UserPath(arguments.operands[0]));
  const int problemsBefore = messages.Problems();
  try {
    // A file replaced on purpose (--force) goes only once the new one is whole.
    exporting::ExportListToSpreadsheet(table, file, automation, messages, exporting::ExistingFile::ReplaceWhenSaved);
  } catch (const std::exception& e) {
    Say(out, QString::fromUtf8(e.what()));
    return kFailed;
  }
  if (messages.Problems() != problemsBefore || !QFile::exists(file)) return kFailed;
  if (!arguments.quiet) Say(out, QStringLiteral("已把 %1 个录音的列表导出到 %2").arg(list.rows.size()).arg(file));
  return Complete(list) ? kDone : kFailed;
}

}  // namespace parlomax::cli
