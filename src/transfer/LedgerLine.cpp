#include "transfer/LedgerLine.h"

#include "catalogue/RecordingHeader.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace parlomax::transfer {
namespace {

bool IsHexDigest(const QString& text) {
  return text.size() == 64 && std::all_of(text.begin(), text.end(), [](QChar c) {
           return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
         });
}

QString Text(const std::string& bytes) { return QString::fromStdString(bytes); }

QString StartText(const catalogue::RecordingFields& f) {
  return QStringLiteral("%1-%2 %3:%4")
      .arg(f.month, 2, 10, QLatin1Char('0'))
      .arg(f.day, 2, 10, QLatin1Char('0'))
      .arg(f.hour, 2, 10, QLatin1Char('0'))
      .arg(f.minute, 2, 10, QLatin1Char('0'));
}

}  // namespace

std::string LedgerLineText(const LedgerRecord& record, const std::string& prev) {
  const catalogue::RecordingFields fields = catalogue::DecodeCallFields(record.header);
  const QByteArray header(reinterpret_cast<const char*>(record.header.data()),
                          static_cast<qsizetype>(record.header.size()));
  QJsonObject line{
      {QStringLiteral("name"), Text(record.name)},
      {QStringLiteral("size"), static_cast<qint64>(record.size)},
      {QStringLiteral("sha256"), Text(record.sha256)},
      {QStringLiteral("header"), QString::fromLatin1(header.toHex())},
      {QStringLiteral("kind"), static_cast<int>(fields.callType)},
      // The telephone keeps no year.
      {QStringLiteral("start"), StartText(fields)},
      {QStringLiteral("number"), Text(catalogue::TelephoneNumberText(record.header))},
      {QStringLiteral("payload"), static_cast<qint64>(fields.payloadLength)},
      {QStringLiteral("duration"), static_cast<qint64>(fields.durationSeconds)},
      {QStringLiteral("address"), static_cast<qint64>(fields.startAddress)},
      {QStringLiteral("copied"), Text(record.copiedAt)},
      {QStringLiteral("usb"), Text(record.source.place)},
      {QStringLiteral("chip"), Text(record.source.chip)},
      {QStringLiteral("user"), Text(record.user)},
      {QStringLiteral("program"), Text(record.program)},
      {QStringLiteral("prev"), Text(prev)},
  };
  return QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString();
}

bool ParseLedgerLine(std::string_view line, LedgerRecord& record, std::string* prev) {
  // Quick refusal of what cannot be an object: a cut line mostly.
  if (line.size() < 2 || line.front() != '{' || line.back() != '}') return false;
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray::fromRawData(line.data(), static_cast<qsizetype>(line.size())), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return false;
  const QJsonObject o = document.object();
  const QJsonValue name = o.value(QStringLiteral("name"));
  const QJsonValue size = o.value(QStringLiteral("size"));
  const QString sha256 = o.value(QStringLiteral("sha256")).toString();
  const QString before = o.value(QStringLiteral("prev")).toString();
  if (!name.isString() || name.toString().isEmpty() || !size.isDouble() || size.toDouble() < 0 ||
      !IsHexDigest(sha256) || !IsHexDigest(before)) {
    return false;
  }
  record.name = name.toString().toStdString();
  record.size = static_cast<std::uint64_t>(size.toInteger());
  record.sha256 = sha256.toStdString();
  const QByteArray header =
      QByteArray::fromHex(o.value(QStringLiteral("header")).toString().toLatin1());
  record.header = {};
  if (header.size() == static_cast<qsizetype>(record.header.size()))
    std::copy(header.begin(), header.end(), record.header.begin());
  record.copiedAt = o.value(QStringLiteral("copied")).toString().toStdString();
  record.source = {o.value(QStringLiteral("usb")).toString().toStdString(),
                   o.value(QStringLiteral("chip")).toString().toStdString()};
  record.user = o.value(QStringLiteral("user")).toString().toStdString();
  record.program = o.value(QStringLiteral("program")).toString().toStdString();
  if (prev) *prev = before.toStdString();
  return true;
}

}  // namespace parlomax::transfer
