#pragma once

#include "catalogue/RecordingHeader.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlomax::catalogue {

// A day of the year as recordings carry it: they keep no year.
struct MonthDay {
  unsigned month = 0;
  unsigned day = 0;
  auto operator<=>(const MonthDay&) const = default;
};

// What a row is found by, worked out once when the row is made so that a
// keystroke over tens of thousands of rows only compares.
struct FindKey {
  // The telephone number, a blank, then from `nameAt` the file name in lower
  // case (a name that is not valid UTF-8: its bytes, ASCII letters lowered).
  std::string text;
  std::uint32_t nameAt = 0;
  MonthDay date;
  unsigned callType = 3;  // CallType as the row shows it; 3 when there is no header
  std::uint32_t durationSeconds = 0;
  bool hasHeader = false;
};

// `fileName` as UTF-8 (a name that is not valid text matches by its bytes);
// `header` is null for a file too short to hold one. `durationSeconds` is the
// duration the row shows.
FindKey FindKeyOf(const RecordingHeader* header, const std::string& fileName,
                  std::uint32_t durationSeconds);

// The words a person types to find a call, and the CLI's filters. Every word
// and filter must match (they narrow together):
//  - digits match anywhere in the telephone number or the file name;
//  - a date (3-17, 03/17, 3.17, 3月17, 3月17日) matches that day;
//  - 来电, 去电, 录音 (in, out, memo) match that kind;
//  - any other word matches part of the file name, regardless of case.
// A row without a header matches only digits and parts of its name.
class RecordingFind {
 public:
  RecordingFind() = default;
  explicit RecordingFind(QStringView words);
  // Words as a command line hands them over: UTF-8, or bytes that match a
  // file name that is not valid UTF-8 byte for byte.
  explicit RecordingFind(std::string_view words);

  // A date in any of the forms above; nullopt when it is none.
  static std::optional<MonthDay> ParseDate(QStringView text);
  // 来电/in, 去电/out, 录音/memo; nullopt when it is none.
  static std::optional<CallType> ParseKind(QStringView text);

  // From `since` to `until`, both included; a since later in the year than
  // the until spans the turn of the year (12-20 to 1-10).
  void SetSince(MonthDay day) { since_ = day; }
  void SetUntil(MonthDay day) { until_ = day; }
  void SetKind(CallType kind) { kinds_.push_back(static_cast<unsigned>(kind)); }
  // Longer than `seconds` by the duration the row shows.
  void SetLongerThan(std::uint32_t seconds) { longerThan_ = seconds; }

  // Nothing to narrow by: every row matches.
  bool Empty() const;
  bool Matches(const FindKey& key) const;

 private:
  void AddWords(std::string_view bytes);
  void AddWord(QStringView word);
  bool MatchesDay(MonthDay date) const;

  std::vector<std::string> digits_;  // found in the number or the name
  std::vector<std::string> names_;   // found in the name, lower case
  std::vector<MonthDay> days_;
  std::vector<unsigned> kinds_;
  std::optional<MonthDay> since_, until_;
  std::optional<std::uint32_t> longerThan_;
};

}  // namespace parlomax::catalogue
