// find: the recordings of a folder that the window's find bar would show for
// the same words, with the list's columns, as text or as JSON.
#include "catalogue/FolderScan.h"
#include "catalogue/RecordingFind.h"
#include "catalogue/RecordingListLayout.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/StandardOutput.h"
#include "platform/files/PathText.h"
#include "platform/files/SystemReason.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <stop_token>

#include <dirent.h>
#include <unistd.h>

namespace parlomax::cli {
namespace {

namespace fs = std::filesystem;

// A recording that matched, with its number in the folder's list.
struct Found {
  std::uint32_t number = 0;
  catalogue::FolderRecording file;
};

QStringList Texts(const Found& row) {
  return catalogue::RowTexts(QString::number(row.number), files::PathText(fs::path(row.file.name)),
                             catalogue::FolderRecordingTexts(row.file));
}

// The fields of a file without a header are null: it has none to give.
QJsonObject JsonOf(const Found& row) {
  const std::uint32_t held = catalogue::PayloadHeld(row.file);
  QJsonObject object{{"row", static_cast<qint64>(row.number)},
                     {"file_name", files::PathText(fs::path(row.file.name))},
                     {"payload_length", static_cast<qint64>(held)},
                     {"duration_seconds", static_cast<qint64>(catalogue::DurationSeconds(held))},
                     {"texts", TextsObject(Texts(row))}};
  const auto fields = catalogue::DecodeRecordingHeader(row.file.header);
  const bool complete = row.file.complete;
  const auto field = [complete](unsigned value) {
    return complete ? QJsonValue(static_cast<int>(value)) : QJsonValue();
  };
  object.insert("type", field(fields.callType));
  object.insert("month", field(fields.month));
  object.insert("day", field(fields.day));
  object.insert("hour", field(fields.hour));
  object.insert("minute", field(fields.minute));
  object.insert("number", complete ? QJsonValue(fields.telephoneNumber) : QJsonValue());
  return object;
}

// Why the folder could not be read, as the system tells it.
QString WhyUnreadable(const fs::path& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return files::SystemReasonText(errno);
  ::closedir(dir);
  return QStringLiteral("读取时出错");
}

catalogue::RecordingFind FindOf(const Arguments& a) {
  std::string words;
  for (std::size_t i = 1; i < a.operands.size(); ++i) words += a.operands[i] + ' ';
  catalogue::RecordingFind find{std::string_view(words)};
  if (a.since) find.SetSince(*a.since);
  if (a.until) find.SetUntil(*a.until);
  if (a.kind) find.SetKind(*a.kind);
  if (a.longerThan) find.SetLongerThan(*a.longerThan);
  return find;
}

}  // namespace

ExitStatus RunFind(const Arguments& a, StatusLine& out) {
  const fs::path folder = UserPath(a.operands[0]);
  const catalogue::RecordingFind find = FindOf(a);
  // For a program reading it, the table goes out as the folder is read, so
  // that tens of thousands of lines neither wait for the end nor pile up;
  // a person's terminal and JSON need every row before the first.
  const bool terminal = ::isatty(STDOUT_FILENO) == 1;
  const bool asRead = !a.json && !terminal;
  std::vector<Found> found;
  std::uint32_t listed = 0, matched = 0;
  std::stop_source stop;
  QString lines;
  const catalogue::FolderScanEnd end = catalogue::ScanRecordingFolder(
      folder, {}, stop.get_token(), [&](catalogue::FolderRecordings&& run) {
        for (catalogue::FolderRecording& file : run) {
          ++listed;
          const auto seconds = catalogue::DurationSeconds(catalogue::PayloadHeld(file));
          if (find.Matches(catalogue::FindKeyOf(file.complete ? &file.header : nullptr, file.name,
                                                seconds))) {
            if (++matched == 1 && asRead)
              lines += catalogue::RecordingListCaptions().join(u'\t') + u'\n';
            Found row{listed, std::move(file)};
            if (asRead) {
              lines += Texts(row).join(u'\t') + u'\n';
            } else {
              found.push_back(std::move(row));
            }
          }
        }
        if (!lines.isEmpty()) WriteOut(lines);
        lines.clear();
        if (Interrupted()) stop.request_stop();
      });
  if (Interrupted()) {
    Say(out, QStringLiteral("已中断"));
    return kInterrupted;
  }
  if (!end.readable) {
    Say(out, QStringLiteral("无法读取目录 %1：%2").arg(PathText(folder), WhyUnreadable(folder)));
    return kFolderUnreadable;
  }
  // The window lists such files no more than this does.
  if (end.unopened)
    Say(out, QStringLiteral("%1 里有无法打开的 .spx 文件，没有列出").arg(PathText(folder)));
  if (listed == 0) {
    // Entries that could not be opened were said above; none is no news.
    if (!end.unopened) Say(out, QStringLiteral("%1 里没有 .spx 文件").arg(PathText(folder)));
    return kFailed;
  }
  QByteArray output;
  if (a.json) {
    QJsonArray array;
    for (const Found& row : found) array.append(JsonOf(row));
    output = QJsonDocument(array).toJson(QJsonDocument::Indented);
  } else if (!found.empty()) {
    std::vector<QStringList> rows;
    rows.reserve(found.size());
    for (const Found& row : found) rows.push_back(Texts(row));
    output = RecordingTable(rows, terminal).toUtf8();
  }
  if (Interrupted()) {
    Say(out, QStringLiteral("已中断"));
    return kInterrupted;
  }
  if (!output.isEmpty()) WriteOut(output);
  if (matched == 0) {
    if (!a.quiet) Say(out, QStringLiteral("%1 个录音里没有符合的").arg(listed));
    return kFailed;
  }
  return kDone;
}

}  // namespace parlomax::cli
