// The words that find a call in a folder's list, as the find bar and
// parlomax-cli find read them, over rows of every kind.
#include "catalogue/RecordingFind.h"

#include <gtest/gtest.h>

namespace parlomax::catalogue {
namespace {

struct Row {
  char id;
  std::string name;
  std::optional<RecordingFields> fields;  // none: a file too short for a header
  std::uint32_t seconds = 0;
};

RecordingFields Call(unsigned type, unsigned month, unsigned day, const char* number) {
  RecordingFields f;
  f.callType = type;
  f.month = month;
  f.day = day;
  f.telephoneNumber = QString::fromLatin1(number);
  return f;
}

const std::vector<Row> kRows{
    {'A', "03171402_0001.spx", Call(0, 3, 17, "13800138000"), 65},
    {'B', "Boss Meeting.SPX", Call(1, 12, 25, "02188886666"), 5},
    {'C', "01050930_0003.spx", Call(2, 1, 5, ""), 0},
    {'D', "0317short.spx", std::nullopt, 0},
    {'E', "\xff录音\xfeX.spx", Call(0, 3, 17, "5551234"), 10},
    {'F', "f.spx", Call(3, 2, 28, "88abc"), 120},  // a type no telephone writes shows as 录音
};

struct Case {
  std::string words;  // as a command line hands them over
  std::string found;  // the rows that match
  std::optional<MonthDay> since{}, until{};
  std::optional<std::uint32_t> longerThan{};
};

std::string Found(const RecordingFind& find) {
  std::string found;
  for (const Row& row : kRows) {
    const auto header =
        row.fields ? std::optional(EncodeRecordingHeader(*row.fields)) : std::nullopt;
    if (find.Matches(FindKeyOf(header ? &*header : nullptr, row.name, row.seconds)))
      found += row.id;
  }
  return found;
}

RecordingFind Narrowed(RecordingFind find, const Case& c) {
  if (c.since) find.SetSince(*c.since);
  if (c.until) find.SetUntil(*c.until);
  if (c.longerThan) find.SetLongerThan(*c.longerThan);
  return find;
}

TEST(RecordingFindTest, WordsAndFiltersNarrowTogether) {
  // clang-format off
  const std::vector<Case> cases{
      {"", "ABCDEF"},      {" \t ", "ABCDEF"},   {"138", "A"},         {"0317", "AD"},
      {"0003", "C"},       {"8888", "B"},        {"3-17", "AE"},       {"03/17", "AE"},
      {"3.17", "AE"},      {"3月17", "AE"},      {"3月17日", "AE"},    {"12-25", "B"},
      {"来电", "AE"},      {"in", "AE"},         {"IN", "AE"},         {"去电", "B"},
      {"Out", "B"},        {"录音", "CF"},       {"memo", "CF"},       {"boss", "B"},
      {"MEETING", "B"},    {"short", "D"},       {"abc", ""},          {"\xfeX", "E"},
      {"\xfex", "E"},      {"spx", "ABCDEF"},    {"0317 short", "D"},  {"来电 3-17 138", "A"},
      {"来电\u3000138", "A"}, {"来电 去电", ""},  {"3-17 12-25", ""},
      {"", "ABEF", MonthDay{2, 1}},    {"", "CF", {}, MonthDay{2, 28}},
      {"", "BC", MonthDay{12, 20}, MonthDay{1, 10}},  {"", "AE", MonthDay{3, 17}, MonthDay{3, 17}},
      {"", "AEF", {}, {}, 5},          {"", "ABEF", {}, {}, 0},
      {"来电", "A", {}, {}, 10},       {"0317", "A", MonthDay{1, 1}},
  };
  // clang-format on
  for (const Case& c : cases) {
    const RecordingFind find = Narrowed(RecordingFind(std::string_view(c.words)), c);
    EXPECT_EQ(Found(find), c.found) << '"' << c.words << '"';
    const bool blank = c.words.find_first_not_of(" \t") == std::string::npos;
    EXPECT_EQ(find.Empty(), blank && !c.since && !c.until && !c.longerThan)
        << '"' << c.words << '"';
    // The find bar's words are text, and find the same.
    if (QUtf8StringView(c.words).isValidUtf8()) {
      EXPECT_EQ(Found(Narrowed(RecordingFind(QString::fromUtf8(c.words)), c)), c.found)
          << '"' << c.words << '"';
    }
  }
  RecordingFind kind;
  kind.SetKind(CallType::Outgoing);
  EXPECT_EQ(Found(kind), "B");
}

TEST(RecordingFindTest, OnlyRealDaysInTheFormsPeopleTypeAreDates) {
  for (const char* text : {"3-32", "0-5", "13-1", "3-", "-17", "3-17日", "3月17号", "3/17/2024",
                           "003-17", "３-17", "317", "3--17"}) {
    EXPECT_EQ(RecordingFind::ParseDate(QString::fromUtf8(text)), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace parlomax::catalogue
