#include "catalogue/RecordingFind.h"

#include <QUtf8StringView>

#include <algorithm>
#include <array>
#include <utility>

namespace parlomax::catalogue {
namespace {

bool IsValidUtf8(std::string_view bytes) {
  return QUtf8StringView(bytes.data(), static_cast<qsizetype>(bytes.size())).isValidUtf8();
}

// Lower case as the key holds it: by Unicode for text, ASCII letters alone
// for bytes that are not text, so that a word typed as those same bytes
// still finds them.
std::string Lowered(std::string_view bytes) {
  if (IsValidUtf8(bytes)) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()))
        .toLower()
        .toUtf8()
        .toStdString();
  }
  std::string lowered(bytes);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

bool AllDigits(QStringView word) {
  return !word.isEmpty() &&
         std::all_of(word.begin(), word.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// One or two ASCII digits at the start of `text`, taken off it.
std::optional<unsigned> TakeNumber(QStringView& text) {
  qsizetype n = 0;
  while (n < text.size() && n < 3 && text[n] >= u'0' && text[n] <= u'9') ++n;
  if (n == 0 || n > 2) return std::nullopt;
  const unsigned value = text.left(n).toUInt();
  text = text.mid(n);
  return value;
}

bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

FindKey FindKeyOf(const RecordingHeader* header, const std::string& fileName,
                  std::uint32_t durationSeconds) {
  FindKey key;
  key.durationSeconds = durationSeconds;
  if (header != nullptr) {
    const RecordingFields fields = DecodeCallFields(*header);
    key.text = TelephoneNumberText(*header);
    key.date = {fields.month, fields.day};
    // A type the telephone never writes shows as a memo, and is found as one.
    key.callType = std::min(fields.callType, static_cast<unsigned>(CallType::Memo));
    key.hasHeader = true;
  }
  key.text += ' ';
  key.nameAt = static_cast<std::uint32_t>(key.text.size());
  key.text += Lowered(fileName);
  return key;
}

RecordingFind::RecordingFind(QStringView words) {
  const QByteArray utf8 = words.toUtf8();
  AddWords(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

RecordingFind::RecordingFind(std::string_view words) { AddWords(words); }

void RecordingFind::AddWords(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto start = std::find_if_not(bytes.begin(), bytes.end(), IsAsciiSpace);
    const auto end = std::find_if(start, bytes.end(), IsAsciiSpace);
    const std::string_view word(start, end);
    bytes.remove_prefix(static_cast<std::size_t>(end - bytes.begin()));
    if (word.empty()) continue;
    if (!IsValidUtf8(word)) {
      names_.push_back(Lowered(word));
      continue;
    }
    // Text parts at any blank, the ideographic one of a Chinese keyboard too.
    const QString text = QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
      if (i < text.size() && !text[i].isSpace()) continue;
      if (i > from) AddWord(QStringView(text).mid(from, i - from));
      from = i + 1;
    }
  }
}

void RecordingFind::AddWord(QStringView word) {
  if (const auto kind = ParseKind(word)) {
    SetKind(*kind);
  } else if (const auto day = ParseDate(word)) {
    days_.push_back(*day);
  } else if (AllDigits(word)) {
    digits_.push_back(word.toLatin1().toStdString());
  } else {
    names_.push_back(word.toString().toLower().toUtf8().toStdString());
  }
}

std::optional<MonthDay> RecordingFind::ParseDate(QStringView text) {
  const auto month = TakeNumber(text);
  if (!month || text.isEmpty()) return std::nullopt;
  const QChar separator = text.front();
  if (separator != u'-' && separator != u'/' && separator != u'.' && separator != u'月')
    return std::nullopt;
  text = text.mid(1);
  const auto day = TakeNumber(text);
  if (!day) return std::nullopt;
  // 日 closes only the form that opened with 月.
  if (separator == u'月' && text == u"日") text = {};
  if (!text.isEmpty()) return std::nullopt;
  if (*month < 1 || *month > 12 || *day < 1 || *day > 31) return std::nullopt;
  return MonthDay{*month, *day};
}

std::optional<CallType> RecordingFind::ParseKind(QStringView text) {
  static const std::array<std::pair<QStringView, CallType>, 6> kKinds{
      {{u"来电", CallType::Incoming},
       {u"in", CallType::Incoming},
       {u"去电", CallType::Outgoing},
       {u"out", CallType::Outgoing},
       {u"录音", CallType::Memo},
       {u"memo", CallType::Memo}}};
  for (const auto& [word, kind] : kKinds) {
    if (text.compare(word, Qt::CaseInsensitive) == 0) return kind;
  }
  return std::nullopt;
}

bool RecordingFind::Empty() const {
  return digits_.empty() && names_.empty() && days_.empty() && kinds_.empty() && !since_ &&
         !until_ && !longerThan_;
}

bool RecordingFind::MatchesDay(MonthDay date) const {
  for (const MonthDay day : days_) {
    if (date != day) return false;
  }
  const bool after = !since_ || date >= *since_;
  const bool before = !until_ || date <= *until_;
  if (since_ && until_ && *since_ > *until_) return after || before;
  return after && before;
}

bool RecordingFind::Matches(const FindKey& key) const {
  // The header's numbers first: they cost a comparison, a search in the
  // text costs a scan.
  const bool byHeader = !days_.empty() || !kinds_.empty() || since_ || until_ || longerThan_;
  if (byHeader) {
    if (!key.hasHeader) return false;
    for (const unsigned kind : kinds_) {
      if (key.callType != kind) return false;
    }
    if (longerThan_ && key.durationSeconds <= *longerThan_) return false;
    if (!MatchesDay(key.date)) return false;
  }
  const std::string_view text(key.text);
  for (const std::string& digits : digits_) {
    if (text.find(digits) == std::string_view::npos) return false;
  }
  const std::string_view name = text.substr(std::min<std::size_t>(key.nameAt, text.size()));
  for (const std::string& part : names_) {
    if (name.find(part) == std::string_view::npos) return false;
  }
  return true;
}

}  // namespace parlomax::catalogue
