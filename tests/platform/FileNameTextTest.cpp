// File names through the automation's text and back, byte for byte.
#include "platform/spreadsheet/FileNameText.h"

#include <gtest/gtest.h>

namespace parlomax::spreadsheet {
namespace {

TEST(FileNameTextTest, EveryNameComesBackAsItsBytesAndUtf8StaysPlainText) {
  // UTF-8 (Chinese, outside the BMP); then stray bytes, a character cut short,
  // an overlong ".", a surrogate written as UTF-8, a code point past U+10FFFF.
  for (const std::string utf8 : {"/home/desk/电话列表List.xls", "/tmp/\xf0\x9f\x93\x9e.xls"}) {
    EXPECT_EQ(FileNameText(utf8), QString::fromStdString(utf8));
    EXPECT_EQ(PathOfFileNameText(FileNameText(utf8)).native(), utf8);
  }
  for (const std::string bytes : {"/tmp/\xff\xfe.xls", "/tmp/\xe7\x94.xls", "/tmp/\xc0\xae.xls",
                                  "/tmp/\xed\xb2\x80.xls", "/tmp/\xf4\x90\x80\x80.xls"}) {
    EXPECT_EQ(PathOfFileNameText(FileNameText(bytes)).native(), bytes);
  }
}

}  // namespace
}  // namespace parlomax::spreadsheet
