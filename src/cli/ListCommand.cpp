// list and export: the telephone's list, as text, as JSON or as a sheet.
#include "catalogue/RecordingListLayout.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/StandardOutput.h"
#include "cli/Telephone.h"
#include "cli/TextColumns.h"
#include "export/SpreadsheetExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <exception>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace parlomax::cli {
namespace {

namespace fs = std::filesystem;

QStringList Texts(const catalogue::DeviceListRow& row) {
  return catalogue::RowTexts(row.caption, row.fileName, row.texts);
}

QJsonObject JsonOf(const catalogue::DeviceListRow& row) {
  const auto fields = catalogue::DecodeRecordingHeader(row.header);
  const QJsonObject texts = TextsObject(Texts(row));
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

ExitStatus SayInterrupted(StatusLine& out) {
  Say(out, QStringLiteral("已中断"));
  return kInterrupted;
}

// The list, or the status to end with when it could not be read at all.
// After an interrupt nothing more is done with it.
ExitStatus ReadList(Telephone& telephone, TelephoneList& list, StatusLine& out) {
  list = telephone.ReadList();
  if (Interrupted()) return SayInterrupted(out);
  if (!list.count || telephone.Gone()) return telephone.FailureStatus();
  return kDone;
}

}  // namespace

QJsonObject TextsObject(const QStringList& values) {
  QJsonObject texts;
  const QStringList captions = catalogue::RecordingListCaptions();
  for (qsizetype c = 0; c < captions.size(); ++c) texts.insert(captions[c], values[c]);
  return texts;
}

// Tab-separated for a program that reads it; on a terminal, for a person:
// the columns lined up by the cells each text takes.
QString RecordingTable(const std::vector<QStringList>& rows, bool terminal) {
  std::vector<QStringList> cells{catalogue::RecordingListCaptions()};
  // The list's texts pad themselves with blanks; lined up, they need not.
  for (QStringList texts : rows) {
    if (terminal) {
      for (QString& text : texts) text = text.trimmed();
    }
    cells.push_back(std::move(texts));
  }
  if (terminal) return AlignedColumns(cells);
  QString text;
  for (const auto& line : cells) text += line.join(u'\t') + u'\n';
  return text;
}

ExitStatus RunList(Telephone& telephone, const Arguments& arguments, StatusLine& out) {
  TelephoneList list;
  if (const ExitStatus status = ReadList(telephone, list, out); status != kDone) return status;
  QByteArray output;
  if (arguments.json) {
    QJsonArray array;
    for (const auto& row : list.rows) array.append(JsonOf(row));
    output = QJsonDocument(array).toJson(QJsonDocument::Indented);
  } else {
    std::vector<QStringList> rows;
    rows.reserve(list.rows.size());
    for (const auto& row : list.rows) rows.push_back(Texts(row));
    output = RecordingTable(rows, ::isatty(STDOUT_FILENO) == 1).toUtf8();
  }
  if (Interrupted()) return SayInterrupted(out);
  WriteOut(output);
  // The rows that were read are shown; the gaps are said, and fail the run.
  if (!list.read.Complete()) {
    Say(out, device::RowsMissedText(list.read.rowsMissed));
    return kFailed;
  }
  return kDone;
}

ExitStatus CheckExportTarget(const Arguments& arguments, StatusLine& out) {
  const auto file = UserPath(arguments.operands[0]);
  std::error_code ec;
  if (!arguments.force && fs::exists(fs::symlink_status(file, ec))) {
    Say(out, QStringLiteral("文件已经存在：%1（要替换它请加 --force）").arg(PathText(file)));
    return kFailed;
  }
  return kDone;
}

ExitStatus RunExport(Telephone& telephone, const Arguments& arguments, StatusLine& out, TerminalMessages& messages,
                     spreadsheet::AutomationFactory& automation) {
  TelephoneList list;
  if (const ExitStatus status = ReadList(telephone, list, out); status != kDone) return status;
  // The file's bytes as typed: a name that is not UTF-8 is shown with
  // stand-in characters, but written under its own bytes.
  const fs::path file = UserPath(arguments.operands[0]);
  const bool complete = list.read.Complete();
  std::error_code ec;
  // A list with gaps never takes the place of an earlier one, which may hold
  // the very rows this reading missed.
  if (!complete && fs::exists(fs::symlink_status(file, ec))) {
    Say(out, device::RowsMissedText(list.read.rowsMissed) +
                 QStringLiteral("已有的 %1 没有被替换。").arg(PathText(file)));
    return kFailed;
  }
  exporting::ExportTable table;
  const QStringList captions = catalogue::RecordingListCaptions();
  table.columnCaptions.assign(captions.begin(), captions.end());
  for (const auto& row : list.rows) {
    const QStringList values = Texts(row);
    table.rows.push_back({values.front(), std::vector<QString>(values.begin() + 1, values.end())});
  }
  table.fontName = QString::fromUtf16(catalogue::kListFontFamily);
  table.fontPointSize = catalogue::kListFontPointSize;
  if (Interrupted()) return SayInterrupted(out);
  const int problemsBefore = messages.Problems();
  exporting::ExportOutcome outcome;
  try {
    // A file replaced on purpose (--force) goes only once the new one is whole.
    outcome = exporting::ExportListToSpreadsheet(table, file, automation, messages,
                                                 exporting::ExistingFile::ReplaceWhenSaved);
  } catch (const std::exception& e) {
    Say(out, QString::fromUtf8(e.what()));
    return kFailed;
  }
  const bool saved =
      outcome == exporting::ExportOutcome::Saved && messages.Problems() == problemsBefore;
  if (!saved) return kFailed;
  if (!complete) {
    Say(out, device::RowsMissedText(list.read.rowsMissed) +
                 QStringLiteral("已把读到的 %1 个录音的列表导出到 %2")
                     .arg(list.rows.size())
                     .arg(PathText(file)));
    return kFailed;
  }
  if (!arguments.quiet) {
    Say(out,
        QStringLiteral("已把 %1 个录音的列表导出到 %2").arg(list.rows.size()).arg(PathText(file)));
  }
  return kDone;
}

}  // namespace parlomax::cli
