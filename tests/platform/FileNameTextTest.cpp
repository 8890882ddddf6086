// File names through the automation's text and back, byte for byte.
#include "platform/spreadsheet/FileNameText.h"

#include <gtest/gtest.h>

#include <string>

namespace parlomax::spreadsheet {
namespace {

TEST(FileNameTextTest, EveryNameComesBackAsItsBytesAndUtf8StaysPlainText) {
  struct Case {
    std::string bytes;
    bool utf8;
  };
  for (const Case& c : {Case{"/home/desk/电话列表List.xls", true},
                        Case{"/tmp/\xf0\x9f\x93\x9e.xls", true}, Case{"/tmp/\xff\xfe.xls", false},
                        Case{"/tmp/\xe7\x94.xls", false},          // a character cut short
                        Case{"/tmp/\xc0\xae.xls", false},          // an overlong "."
                        Case{"/tmp/\xed\xb2\x80.xls", false},      // a surrogate written as UTF-8
                        Case{"/tmp/\xf4\x90\x80\x80.xls", false},  // past U+10FFFF
                        Case{"/tmp/\x80\xe7\x94\xb5", false}}) {
    SCOPED_TRACE(c.bytes);
    const QString text = FileNameText(c.bytes);
    EXPECT_EQ(PathOfFileNameText(text).native(), c.bytes);
    EXPECT_EQ(text == QString::fromUtf8(c.bytes), c.utf8) << text.toStdString();
  }
}

}  // namespace
}  // namespace parlomax::spreadsheet
