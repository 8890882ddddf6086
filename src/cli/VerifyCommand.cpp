// verify: whether the recordings of a folder are still as they were copied,
// by the ledger every copy leaves there; with --telephone also which of the
// telephone's recordings the folder does not hold.
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/StandardOutput.h"
#include "cli/Telephone.h"
#include "cli/TextColumns.h"
#include "platform/files/SystemReason.h"
#include "transfer/FolderVerify.h"
#include "transfer/SaveFolder.h"
#include "transfer/VerdictTexts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <map>

#include <unistd.h>

namespace parlomax::cli {
namespace {

namespace fs = std::filesystem;
using transfer::Verdict;

const char* VerdictWord(Verdict verdict) {
  switch (verdict) {
    case Verdict::Intact:
      return "intact";
    case Verdict::Changed:
      return "changed";
    case Verdict::Missing:
      return "missing";
    case Verdict::NeverCopied:
      return "never_copied";
    case Verdict::Cut:
      return "cut";
  }
  return "";
}

QString NameText(const std::string& name) { return PathText(fs::path(name)); }

QStringList ChainTexts(const transfer::LedgerContents& ledger) {
  if (ledger.error == ENOENT)
    return {QStringLiteral("复制记录：没有（这个目录还没有用 Parlomax 复制过录音）")};
  if (ledger.error != 0)
    return {QStringLiteral("复制记录：无法读取，%1").arg(files::SystemReasonText(ledger.error))};
  const transfer::ChainState& c = ledger.chain;
  QStringList texts;
  texts << (c.Intact() ? QStringLiteral("复制记录：完好，%1 条记录").arg(c.records)
                       : QStringLiteral("复制记录：在第 %1 行断开，这一行前面的记录被删除或改动过")
                             .arg(c.brokenAt));
  if (c.cutLines > 0)
    texts << QStringLiteral("复制记录：%1 行在写入时被中断，已略过").arg(c.cutLines);
  if (c.lastLineCut) texts << QStringLiteral("复制记录：最后一行在写入时被中断，已略过");
  return texts;
}

QJsonObject ChainJson(const transfer::LedgerContents& ledger) {
  const transfer::ChainState& c = ledger.chain;
  QJsonObject o{{"present", ledger.error != ENOENT},
                {"readable", ledger.error == 0},
                {"intact", ledger.error == 0 && c.Intact()},
                {"records", static_cast<qint64>(c.records)},
                {"lines", static_cast<qint64>(c.lines)},
                {"cut_lines", static_cast<qint64>(c.cutLines)},
                {"last_line_cut", c.lastLineCut}};
  o.insert("broken_at_line",
           c.Intact() ? QJsonValue() : QJsonValue(static_cast<qint64>(c.brokenAt)));
  if (ledger.error != 0 && ledger.error != ENOENT)
    o.insert("error", files::SystemReasonText(ledger.error));
  return o;
}

QJsonObject RecordingJson(const transfer::RecordingVerdict& r) {
  QJsonObject o{
      {"file_name", NameText(r.name)},
      {"verdict", VerdictWord(r.verdict)},
      {"present", r.facts.present},
      {"size", r.facts.present ? QJsonValue(static_cast<qint64>(r.facts.size)) : QJsonValue()},
      {"sha256",
       r.facts.sha256.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(r.facts.sha256))}};
  if (r.record) {
    o.insert("copied_size", static_cast<qint64>(r.record->size));
    o.insert("copied_sha256", QString::fromStdString(r.record->sha256));
    o.insert("copied_at", QString::fromStdString(r.record->copiedAt));
    o.insert("ledger_line", static_cast<qint64>(r.record->line));
  }
  return o;
}

// The telephone's recordings that no file of the folder holds whole; two
// that look alike need two files.
std::vector<const catalogue::DeviceListRow*> NotInFolder(const TelephoneList& list,
                                                         const transfer::FolderVerification& v) {
  std::map<catalogue::RecordingHeader, std::size_t> held;
  for (const auto& r : v.recordings) {
    if (r.facts.present && r.facts.header &&
        transfer::HoldingOf(*r.facts.header, r.facts.size) == transfer::Holding::Whole &&
        !r.facts.partName)
      ++held[catalogue::CallOf(*r.facts.header)];
  }
  std::vector<const catalogue::DeviceListRow*> missing;
  for (const auto& row : list.rows) {
    std::size_t& copies = held[catalogue::CallOf(row.header)];
    if (copies > 0) {
      --copies;
    } else {
      missing.push_back(&row);
    }
  }
  return missing;
}

}  // namespace

ExitStatus RunVerify(const Arguments& a, StatusLine& out, Telephone* telephone) {
  const fs::path folder = UserPath(a.operands[0]);
  TelephoneList list;
  if (telephone) {
    list = telephone->ReadList();
    if (Interrupted()) {
      Say(out, QStringLiteral("已中断"));
      return kInterrupted;
    }
    if (!list.count || telephone->Gone()) return telephone->FailureStatus();
  }
  const transfer::FolderVerification v = transfer::VerifyFolder(folder);
  if (v.error != 0) {
    Say(out, QStringLiteral("无法读取目录 %1：%2")
                 .arg(PathText(folder), files::SystemReasonText(v.error)));
    return kFolderUnreadable;
  }
  if (Interrupted()) {
    Say(out, QStringLiteral("已中断"));
    return kInterrupted;
  }
  std::map<Verdict, std::size_t> counts;
  for (const auto& r : v.recordings) ++counts[r.verdict];
  const auto notInFolder =
      telephone ? NotInFolder(list, v) : std::vector<const catalogue::DeviceListRow*>{};
  const bool ledgerGood = (v.ledger.error == 0 && v.ledger.chain.Intact()) ||
                          (v.ledger.error == ENOENT && v.recordings.empty());
  const bool allIntact = counts[Verdict::Intact] == v.recordings.size() && ledgerGood &&
                         notInFolder.empty() && (!telephone || list.read.Complete());

  if (a.json) {
    QJsonArray recordings;
    for (const auto& r : v.recordings) recordings.append(RecordingJson(r));
    QJsonObject document{{"folder", PathText(folder)},
                         {"intact", allIntact},
                         {"recordings", recordings},
                         {"ledger", ChainJson(v.ledger)}};
    if (telephone) {
      QJsonArray missing;
      for (const auto* row : notInFolder)
        missing.append(QJsonObject{{"record", row->recordIndex + 1}, {"file_name", row->fileName}});
      document.insert("telephone",
                      QJsonObject{{"recordings", static_cast<qint64>(list.rows.size())},
                                  {"not_in_folder", missing},
                                  {"list_complete", list.read.Complete()}});
    }
    WriteOut(QJsonDocument(document).toJson(QJsonDocument::Indented));
  } else {
    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    std::vector<QStringList> rows{
        {QStringLiteral("状态"), QStringLiteral("文件名"), QStringLiteral("说明")}};
    for (const auto& r : v.recordings)
      rows.push_back(
          {transfer::VerdictText(r.verdict), NameText(r.name), transfer::VerdictDetailText(r)});
    for (const auto* row : notInFolder)
      rows.push_back({QStringLiteral("不在目录里"), row->fileName,
                      QStringLiteral("电话里的第 %1 个录音").arg(row->recordIndex + 1)});
    QString text;
    if (rows.size() > 1) {
      if (terminal) {
        text = AlignedColumns(rows);
      } else {
        for (const auto& line : rows) text += line.join(u'\t') + u'\n';
      }
    }
    for (const QString& line : ChainTexts(v.ledger)) text += line + u'\n';
    QStringList summary;
    for (const auto& [verdict, count] : counts)
      summary << QStringLiteral("%1 %2 个").arg(transfer::VerdictText(verdict)).arg(count);
    if (telephone)
      summary << QStringLiteral("电话里有 %1 个录音不在目录里").arg(notInFolder.size());
    if (v.recordings.empty()) summary << QStringLiteral("目录里没有录音");
    text += summary.join(QStringLiteral("，")) + u'\n';
    WriteOut(text);
    if (telephone && !list.read.Complete()) Say(out, device::RowsMissedText(list.read.rowsMissed));
  }
  return allIntact ? kDone : kFailed;
}

}  // namespace parlomax::cli
