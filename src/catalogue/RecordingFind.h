#pragma once

#include "catalogue/RecordingHeader.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <string>
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
  std::string digits;  // the telephone number, a blank, the file name (lower case)
  MonthDay date;
  unsigned callType = 3;  // CallType; 3 when there is no header
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
//  - a date (3-17, 03/17, 3月17, 3月17日) matches that day;
//  - 来电, 去电, 录音 (in, out, memo) match that kind;
//  - any other word matches part of the file name, regardless of case.
class RecordingFind {
 public:
  RecordingFind() = default;
  explicit RecordingFind(QStringView words);

  // A date in any of the forms above; nullopt when it is none.
  static std::optional<MonthDay> ParseDate(QStringView text);
  // 来电/in, 去电/out, 录音/memo; nullopt when it is none.
  static std::optional<CallType> ParseKind(QStringView text);

  void SetSince(MonthDay day) { since_ = day; }
  void SetUntil(MonthDay day) { until_ = day; }
  void SetKind(CallType kind) { kinds_.push_back(static_cast<unsigned>(kind)); }
  void SetLongerThan(std::uint32_t seconds) { longerThan_ = seconds; }

  // Nothing to narrow by: every row matches.
  bool Empty() const;
  bool Matches(const FindKey& key) const;

 private:
  std::vector<std::string> texts_;  // digits and other words, lower case
  std::vector<MonthDay> days_;
  std::vector<unsigned> kinds_;
  std::optional<MonthDay> since_, until_;
  std::optional<std::uint32_t> longerThan_;
};

}  // namespace parlomax::catalogue
