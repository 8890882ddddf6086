// How parlomax-cli reads its command line: where options may stand, which
// spellings it takes, and which mistake it reports when a line has several.
#include "cli/Arguments.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace parlomax::cli {
namespace {

using Words = std::vector<std::string>;

QString Error(const Words& words) { return ParseArguments(words).error; }

Arguments Read(const Words& words) {
  const ParsedArguments parsed = ParseArguments(words);
  EXPECT_EQ(parsed.error, QString()) << ::testing::PrintToString(words);
  return parsed.arguments;
}

TEST(ArgumentsTest, OptionsStandBeforeOrAfterTheCommandsName) {
  for (const Words& words : {Words{"--json", "-q", "list"}, Words{"list", "--quiet", "--json"}}) {
    const Arguments a = Read(words);
    EXPECT_EQ(a.command, Command::List);
    EXPECT_TRUE(a.json);
    EXPECT_TRUE(a.quiet);
    EXPECT_TRUE(a.operands.empty());
  }
  const Arguments copy = Read({"--new", "copy", "saved", "--device", "2"});
  EXPECT_EQ(copy.command, Command::Copy);
  EXPECT_TRUE(copy.newOnly);
  EXPECT_EQ(copy.device, 2u);
  EXPECT_EQ(copy.operands, Words{"saved"});
  EXPECT_FALSE(copy.pinFile);
  EXPECT_EQ(Read({"export", "list.xls", "--force"}).force, true);
  EXPECT_EQ(Read({"list"}).device, 1u);
}

TEST(ArgumentsTest, AValueFollowsItsOptionOrIsJoinedWithAnEqualsSignAndTheLastOneCounts) {
  EXPECT_EQ(Read({"list", "--device=3"}).device, 3u);
  EXPECT_EQ(Read({"list", "--device", "2", "--device=4"}).device, 4u);
  EXPECT_EQ(Read({"list", "--pin-file", "a", "--pin-file", "b"}).pinFile, "b");
  EXPECT_EQ(Read({"list", "--pin-file=a=b"}).pinFile, "a=b");
  EXPECT_EQ(Read({"list", "--pin-file="}).pinFile, "");
  // Whatever follows an option that takes a value is its value.
  const Arguments dashes = Read({"list", "--pin-file", "--json"});
  EXPECT_EQ(dashes.pinFile, "--json");
  EXPECT_FALSE(dashes.json);
  EXPECT_EQ(Read({"--pin-file", "--", "list"}).pinFile, "--");
  EXPECT_EQ(Read({"--pin-file", "copy", "list"}).command, Command::List);
}

TEST(ArgumentsTest, TwoDashesEndTheOptionsAndALoneDashIsAWord) {
  const Arguments copy = Read({"copy", "--", "--new"});
  EXPECT_EQ(copy.operands, Words{"--new"});
  EXPECT_FALSE(copy.newOnly);
  const Arguments convert = Read({"convert", "--", "-q", "--quiet"});
  EXPECT_EQ(convert.operands, (Words{"-q", "--quiet"}));
  EXPECT_FALSE(convert.quiet);
  EXPECT_EQ(Read({"copy", "-"}).operands, Words{"-"});
  EXPECT_EQ(Read({"convert", "--", "--", "-x"}).operands, (Words{"--", "-x"}));
  // A command's name after them is a word of no command.
  EXPECT_EQ(Error({"--", "list"}),
            QStringLiteral("缺少命令：list、copy、convert、find、export、verify、doctor 或 autocopy"));
  EXPECT_EQ(Error({"-"}), QStringLiteral("不认识的命令：-"));
  EXPECT_EQ(Error({""}), QStringLiteral("不认识的命令："));
}

TEST(ArgumentsTest, AFileNameThatIsNotUtf8ComesBackByteForByte) {
  const std::string name = "\xff\xfe\x80name";
  EXPECT_EQ(Read({"copy", name}).operands, Words{name});
  EXPECT_EQ(Read({"list", "--pin-file", name}).pinFile, name);
  EXPECT_EQ(Read({"list", "--pin-file=" + name}).pinFile, name);
}

TEST(ArgumentsTest, OnlyTheOptionsOwnSpellingsAreTaken) {
  for (const char* word : {"--h", "--q", "-help", "-quiet", "-json", "-device", "-hq", "-qh", "-hh", "-x", "--bogus",
                           "--json=1", "--help=yes", "-h=1", "--=x", "---", "--Device=2", "--devic"}) {
    EXPECT_EQ(Error({"list", word}), QStringLiteral("不认识的选项：%1").arg(QString::fromUtf8(word))) << word;
  }
  EXPECT_EQ(Error({"list", "-1"}), QStringLiteral("不认识的选项：-1"));
  EXPECT_EQ(Error({"list", "--设备"}), QStringLiteral("不认识的选项：--设备"));
}

TEST(ArgumentsTest, AnOptionsValueMustBeThere) {
  EXPECT_EQ(Error({"list", "--device"}), QStringLiteral("--device 后面缺少值"));
  EXPECT_EQ(Error({"list", "--pin-file"}), QStringLiteral("--pin-file 后面缺少值"));
  EXPECT_EQ(Error({"--help", "--device"}), QStringLiteral("--device 后面缺少值"));
}

TEST(ArgumentsTest, ATelephoneIsNumberedFromOne) {
  for (const char* value : {"0", "-1", "+1", "1x", " 1", "0x2", "4294967296", "", "一"}) {
    EXPECT_EQ(Error({"list", "--device", value}), QStringLiteral("--device 需要从 1 起的电话编号：%1").arg(QString::fromUtf8(value)))
        << value;
    EXPECT_EQ(Error({"list", std::string("--device=") + value}),
              QStringLiteral("--device 需要从 1 起的电话编号：%1").arg(QString::fromUtf8(value)))
        << value;
  }
  EXPECT_EQ(Read({"list", "--device", "4294967295"}).device, 4294967295u);
  EXPECT_EQ(Read({"list", "--device", "007"}).device, 7u);
  // Each one given is checked, not only the last.
  EXPECT_EQ(Error({"list", "--device", "0", "--device", "2"}), QStringLiteral("--device 需要从 1 起的电话编号：0"));
}

TEST(ArgumentsTest, TheFirstMistakeAsTypedIsTheOneReported) {
  EXPECT_EQ(Error({"nonsense", "--bogus"}), QStringLiteral("不认识的命令：nonsense"));
  EXPECT_EQ(Error({"--bogus", "nonsense"}), QStringLiteral("不认识的选项：--bogus"));
  EXPECT_EQ(Error({"--bogus", "--other"}), QStringLiteral("不认识的选项：--bogus"));
  EXPECT_EQ(Error({"--device", "0", "--bogus"}), QStringLiteral("--device 需要从 1 起的电话编号：0"));
  EXPECT_EQ(Error({"--bogus", "--device", "0"}), QStringLiteral("不认识的选项：--bogus"));
  EXPECT_EQ(Error({"nonsense", "--device", "0"}), QStringLiteral("不认识的命令：nonsense"));
  EXPECT_EQ(Error({"--bogus", "--device"}), QStringLiteral("不认识的选项：--bogus"));
  EXPECT_EQ(Error({"list", "nonsense", "--bogus"}), QStringLiteral("不认识的选项：--bogus"));
  // The words after "--" are never options, so nothing there is refused as one.
  EXPECT_EQ(Error({"list", "--", "--bogus"}), QStringLiteral("list 不接受参数：--bogus"));
  // A mistake in the options beats help.
  EXPECT_EQ(Error({"--help", "--bogus"}), QStringLiteral("不认识的选项：--bogus"));
  EXPECT_EQ(Error({"-h", "nonsense"}), QStringLiteral("不认识的命令：nonsense"));
}

TEST(ArgumentsTest, HelpAndVersionNeedNoCommandAndSkipTheCommandsChecks) {
  const Arguments help = Read({"--help"});
  EXPECT_TRUE(help.help);
  EXPECT_EQ(help.command, Command::None);
  EXPECT_TRUE(Read({"-h"}).help);
  EXPECT_TRUE(Read({"--version"}).version);
  const Arguments copyHelp = Read({"copy", "-h"});
  EXPECT_TRUE(copyHelp.help);
  EXPECT_EQ(copyHelp.command, Command::Copy);
  EXPECT_TRUE(Read({"convert", "--json", "--device", "2", "--version"}).version);
  EXPECT_TRUE(Read({"--help", "--", "x"}).help);
  EXPECT_EQ(Error({"--", "--help"}),
            QStringLiteral("缺少命令：list、copy、convert、find、export、verify、doctor 或 autocopy"));
  EXPECT_EQ(Error({}), QStringLiteral("缺少命令：list、copy、convert、find、export、verify、doctor 或 autocopy"));
  EXPECT_EQ(Error({"-q"}), QStringLiteral("缺少命令：list、copy、convert、find、export、verify、doctor 或 autocopy"));
}

TEST(ArgumentsTest, EachCommandTakesItsOwnOptionsAndWords) {
  EXPECT_EQ(Error({"copy", "d", "--json"}), QStringLiteral("--json 只用于 list、find 和 verify"));
  EXPECT_EQ(Error({"list", "--new"}), QStringLiteral("--new 只用于 copy"));
  EXPECT_EQ(Error({"list", "--force"}), QStringLiteral("--force 只用于 export"));
  EXPECT_EQ(Error({"convert", "a", "b", "--device", "1"}),
            QStringLiteral("convert 不连接电话，不接受 --device 和 --pin-file"));
  EXPECT_EQ(Error({"convert", "a", "b", "--pin-file="}),
            QStringLiteral("convert 不连接电话，不接受 --device 和 --pin-file"));
  EXPECT_EQ(Error({"doctor", "--device=1"}),
            QStringLiteral("doctor 查看所有电话，不用密码，不接受 --device 和 --pin-file"));
  EXPECT_EQ(Error({"list", "9174"}), QStringLiteral("list 不接受参数：9174"));
  EXPECT_EQ(Error({"doctor", "x", "y"}), QStringLiteral("doctor 不接受参数：x"));
  EXPECT_EQ(Error({"copy"}), QStringLiteral("copy 需要一个保存录音的目录"));
  EXPECT_EQ(Error({"convert", "a"}), QStringLiteral("convert 需要两个目录：SPX目录 WAV目录"));
  EXPECT_EQ(Error({"export"}), QStringLiteral("export 需要一个文件名，如 录音列表.xls"));
  EXPECT_EQ(Error({"export", "a", "b"}), QStringLiteral("export 需要一个文件名，如 录音列表.xls"));
  EXPECT_EQ(Error({"export", "list.xlsx"}),
            QStringLiteral("export 的文件名须以 .xls 结尾：list.xlsx"));
  EXPECT_EQ(Read({"export", "LIST.XLS"}).operands, Words{"LIST.XLS"});
  EXPECT_EQ(Error({"list", "copy"}), QStringLiteral("list 不接受参数：copy"));
  EXPECT_EQ(Read({"convert", "a", "b"}).operands, (Words{"a", "b"}));
  EXPECT_EQ(Read({"convert", "--format", "opus", "a", "b"}).format, audio::ShareFormat::Opus);
  EXPECT_EQ(Read({"convert", "a", "b"}).format, std::nullopt);
  EXPECT_EQ(Error({"convert", "a", "b", "--format=ogg"}),
            QStringLiteral("--format 需要 wav、mp3 或 opus：ogg"));
  EXPECT_EQ(Error({"list", "--format", "mp3"}), QStringLiteral("--format 只用于 convert"));
  EXPECT_EQ(Read({"export", "--", "-x.xls"}).operands, Words{"-x.xls"});
}

TEST(ArgumentsTest, AutocopyTakesItsOwnWordsAndATelephoneIsNamedByNumberOrPlaceNotBoth) {
  EXPECT_EQ(Read({"autocopy", "on"}).command, Command::Autocopy);
  EXPECT_EQ(Read({"autocopy", "run", "/sys/devices/usb1/1-1"}).operands, (Words{"run", "/sys/devices/usb1/1-1"}));
  EXPECT_EQ(Read({"copy", "d", "--usb=1-1.4"}).usbPlace, "1-1.4");
  const std::vector<std::pair<Words, const char*>> refused{
      {{"autocopy"}, "autocopy 需要 on [目录]、off、status 或 run 设备"},
      {{"autocopy", "sometimes"}, "autocopy 需要 on [目录]、off、status 或 run 设备"},
      {{"autocopy", "on", "a", "b"}, "autocopy on 只接受一个目录"},
      {{"autocopy", "status", "x"}, "autocopy status 不接受参数"},
      {{"autocopy", "run"}, "autocopy run 需要一个设备（USB 位置或 sysfs 路径）"},
      {{"autocopy", "on", "--pin-file", "p"},
       "autocopy 不接受 --device、--usb 和 --pin-file：run 后面写设备，密码见 parlomax-cli(1)"},
      {{"list", "--device", "2", "--usb", "1-1"}, "--device 和 --usb 只能用一个"},
      {{"find", "d", "--usb", "1-1"}, "--usb 只用于连接电话的命令：list、copy、export 和 verify --telephone"},
      {{"list", "--usb"}, "--usb 后面缺少值"}};
  for (const auto& [words, error] : refused) EXPECT_EQ(Error(words), QString::fromUtf8(error)) << words[0];
}

TEST(ArgumentsTest, FindTakesAFolderWordsAndNarrowingOptionsWithGoodValuesOnly) {
  const Arguments find = Read({"find", "spx", "138", "来电", "--since=3-1", "--until", "3月17日",
                               "--kind", "OUT", "--longer-than", "60", "--json"});
  EXPECT_EQ(find.operands, (Words{"spx", "138", "来电"}));
  EXPECT_EQ(find.since, (catalogue::MonthDay{3, 1}));
  EXPECT_EQ(find.until, (catalogue::MonthDay{3, 17}));
  EXPECT_EQ(find.kind, catalogue::CallType::Outgoing);
  EXPECT_EQ(find.longerThan, 60u);
  EXPECT_TRUE(find.json);
  EXPECT_EQ(Read({"find", "spx", "--kind", "录音"}).kind, catalogue::CallType::Memo);
  const std::vector<std::pair<Words, const char*>> refused{
      {{"find", "d", "--since", "2-30x"}, "--since 需要日期，如 3-17、03/17 或 3月17日：2-30x"},
      {{"find", "d", "--until=13-1"}, "--until 需要日期，如 3-17、03/17 或 3月17日：13-1"},
      {{"find", "d", "--kind", "fax"}, "--kind 需要 in、out 或 memo（来电、去电、录音）：fax"},
      {{"find", "d", "--longer-than", "-5"}, "--longer-than 需要秒数：-5"},
      {{"find", "d", "--longer-than="}, "--longer-than 需要秒数："},
      {{"find", "d", "--kind"}, "--kind 后面缺少值"},
      {{"find"}, "find 需要一个录音目录"},
      {{"find", "d", "--device", "1"}, "find 不连接电话，不接受 --device 和 --pin-file"},
      {{"list", "--since", "3-1"}, "--since、--until、--kind 和 --longer-than 只用于 find"},
  };
  for (const auto& [words, error] : refused)
    EXPECT_EQ(Error(words), QString::fromUtf8(error)) << words.back();
}

TEST(ArgumentsTest, CopysRecordingNumbersAreCountedFromOneAndTakenInOrderEachOnce) {
  const Arguments copy = Read({"copy", "d", "5", "2", "5", "65534", "007"});
  EXPECT_EQ(copy.recordIndexes, (std::vector<std::uint16_t>{1, 4, 6, 65533}));
  EXPECT_EQ(copy.operands, (Words{"d", "5", "2", "5", "65534", "007"}));
  EXPECT_TRUE(Read({"copy", "d"}).recordIndexes.empty());
  for (const char* number : {"0", "65535", "x", "-1", "1.5", ""}) {
    EXPECT_EQ(Error({"copy", "d", "--", number}),
              QStringLiteral("录音编号须在 1 到 65534 之间：%1").arg(QString::fromUtf8(number)))
        << number;
  }
  EXPECT_EQ(Error({"copy", "d", "3", "--new"}), QStringLiteral("--new 与录音编号不能同时使用"));
}

}  // namespace
}  // namespace parlomax::cli
