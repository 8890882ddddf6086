// What --help prints, for the program and for each command. The terms and
// their texts are laid out by the cells a terminal gives them, so that a
// Chinese term (two cells a character) lines up with the others.
#include "cli/Arguments.h"
#include "cli/TextColumns.h"

#include <algorithm>

namespace parlomax::cli {
namespace {

using Entries = std::vector<HelpEntry>;

const Entries kTelephoneOptions{
    {QStringLiteral("--device N"), {QStringLiteral("用找到的第 N 部电话（从 1 起；先 USB 电话，后模拟电话）")}},
    {QStringLiteral("--usb 位置"),
     {QStringLiteral("用 USB 上这个位置的电话：doctor 显示的位置（如 1-1.4），"),
      QStringLiteral("或它的 sysfs 路径（如 /sys/devices/.../1-1.4）")}},
    {QStringLiteral("--pin-file 文件"),
     {QStringLiteral("从文件读电话的四位密码；文件只能由本人读取（如 chmod 600）"),
      QStringLiteral("没有此选项时读环境变量 PARLOMAX_PIN，再没有则在终端上询问"),
      QStringLiteral("（不回显）。密码不能直接写在命令行上：别的用户能看到命令行。")}},
};

const Entries kCommonOptions{
    {QStringLiteral("-q, --quiet"), {QStringLiteral("不显示进度和最后的总结，只报告错误")}},
    {QStringLiteral("-h, --help"), {QStringLiteral("显示本帮助")}},
};

const QString kExitStatus = QStringLiteral(
    "退出状态：0 全部完成；1 其他失败；2 没有电话或没有密码；3 密码错误；\n"
    "          4 电话在读写中断开（已收到的部分照窗口程序的方式保留）；130 被中断。\n");

// A page of help: its text, with the entries of every group in one column.
QString Page(const QString& lead, const std::vector<std::pair<QString, Entries>>& groups, const QString& tail) {
  int column = 0;
  for (const auto& [heading, entries] : groups) {
    for (const auto& entry : entries) column = std::max(column, 2 + DisplayWidth(entry.term) + 2);
  }
  QString text = lead;
  for (const auto& [heading, entries] : groups) text += heading + HelpEntries(entries, column);
  return text + tail;
}

Entries Joined(std::initializer_list<Entries> parts) {
  Entries all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const QString kTelephoneHeading = QStringLiteral("\n电话选项：\n");

}  // namespace

QString HelpText(Command command) {
  switch (command) {
    case Command::List:
      return Page(
          QStringLiteral("用法：parlomax-cli list [--json] [电话选项]\n\n"
                         "列出电话里的录音：与窗口列表相同的七栏文字；在终端上按栏对齐，\n"
                         "否则以制表符分隔。第一行是栏名。有录音的信息没有读到时，列出读到的，\n"
                         "在标准错误上说明少了几个，并以状态 1 退出。\n"),
          {{QString(),
            {{QStringLiteral("--json"),
              {QStringLiteral("输出 JSON 数组：每个录音的七栏文字（texts），以及解出的"),
               QStringLiteral(
                   "类型、月、日、时、分、号码、起始地址、声音长度、时长（秒）和文件名")}}}},
           {kTelephoneHeading, Joined({kTelephoneOptions, kCommonOptions})}},
          QStringLiteral("\n") + kExitStatus);
    case Command::Copy:
      return Page(QStringLiteral("用法：parlomax-cli copy 目录 [--new | 编号...] [电话选项]\n\n"
                                 "把录音复制到目录里的 .spx 文件，与窗口程序的上传完全相同（同样的文件名，\n"
                                 "逐字节相同）。目录不存在时会建立。不给编号时复制全部录音。\n"),
                  {{QString(),
                    {{QStringLiteral("编号..."), {QStringLiteral("只复制这些录音（列表第一栏的序号，从 1 起）")}},
                     {QStringLiteral("--new"),
                      {QStringLiteral("只复制新的或有变化的录音：目录里已有同名文件、开头 19 字节"),
                       QStringLiteral("与电话上的相同且长度完整的录音跳过（每晚备份用）")}}}},
                   {QStringLiteral("\n进度显示在标准错误上：在终端上是进度条，否则每个录音一行；最后一行是总结。\n") +
                        kTelephoneHeading,
                    Joined({kTelephoneOptions, kCommonOptions})}},
                  QStringLiteral("\n") + kExitStatus);
    case Command::Convert:
      return Page(
          QStringLiteral(
              "用法：parlomax-cli convert [--format wav|mp3|opus] SPX目录 输出目录\n\n"
              "把 SPX目录 里的每个 .spx 文件转换成 输出目录/<文件名>.spx.wav（8000 Hz，16 位，\n"
              "单声道，与窗口程序的格式相同）。每个录音一次解码到底，没有半秒一段的接缝。\n"
              "不连接电话。输出目录不存在时会建立；同名的文件只在新文件完整写好后才被替换。\n"
              "不是普通文件的条目（管道、设备）跳过；WAV 超过 4 GiB 的录音不转换。\n\n"),
          {{QString(),
            Joined({{{QStringLiteral("--format 格式"),
                      {QStringLiteral("wav（默认）；mp3 或 opus：单声道 16 kbit/s 的 <文件名去掉 "
                                      ".spx>.mp3/.opus，"),
                       QStringLiteral("不到 WAV 的六分之一，标签里有电话号码、时间和类型")}}},
                    kCommonOptions})}},
          QStringLiteral("\n") + kExitStatus);
    case Command::Find:
      return Page(
          QStringLiteral(
              "用法：parlomax-cli find 目录 [词...] [--since 日期] [--until 日期] [--kind 类型]\n"
              "                         [--longer-than 秒] [--json]\n\n"
              "列出目录里与这些词相符的录音，与窗口的查找栏相同：栏目与 list 相同，序号是\n"
              "文件在窗口列表里的序号。不连接电话。几个词和选项同时给出时，录音要与每一个都\n"
              "相符。头部不完整的文件只与数字和文件名里的词相符。\n\n词：\n"),
          {{QString(),
            {{QStringLiteral("数字"), {QStringLiteral("电话号码或文件名里有这些数字的")}},
             {QStringLiteral("3-17、03/17、3.17、3月17日"),
              {QStringLiteral("这一天的（录音不记年份）")}},
             {QStringLiteral("来电、去电、录音"),
              {QStringLiteral("这一类的；也可写 in、out、memo")}},
             {QStringLiteral("其他的词"), {QStringLiteral("文件名里有这个词的（不分大小写）")}}}},
           {QStringLiteral("\n选项：\n"),
            {{QStringLiteral("--since 日期"),
              {QStringLiteral("这一天及以后的；比 --until 晚时跨过年底（12-20 到 1-10）")}},
             {QStringLiteral("--until 日期"), {QStringLiteral("这一天及以前的")}},
             {QStringLiteral("--kind 类型"),
              {QStringLiteral("in、out 或 memo（来电、去电、录音）")}},
             {QStringLiteral("--longer-than 秒"), {QStringLiteral("时长超过这么多秒的")}},
             {QStringLiteral("--json"),
              {QStringLiteral("输出 JSON 数组：每个录音的七栏文字（texts），以及序号（row）、"),
               QStringLiteral("文件名、类型、月、日、时、分、号码、声音长度和时长（秒）；"),
               QStringLiteral("没有头部的文件，类型到号码为 null")}},
             {QStringLiteral("-q, --quiet"), {QStringLiteral("没有相符的录音时不作说明")}},
             {QStringLiteral("-h, --help"), {QStringLiteral("显示本帮助")}}}}},
          QStringLiteral("\n退出状态：0 找到了录音；1 没有相符的录音，或目录里没有 .spx 文件；\n"
                         "          2 目录无法读取；130 被中断。\n"));
    case Command::Export:
      return Page(
          QStringLiteral("用法：parlomax-cli export 文件.xls [--force] [电话选项]\n\n"
                         "把电话的录音列表导出成 Excel 文件，与窗口程序导出的表格相同。\n"
                         "有录音的信息没有读到时，列表不完整：已有的文件不会被替换；没有旧文件时\n"
                         "只导出读到的录音。两种情况都在标准错误上说明，并以状态 1 退出。\n"),
          {{QString(),
            {{QStringLiteral("--force"),
              {QStringLiteral("文件已存在时，新文件完整写好后替换它（否则拒绝）")}}}},
           {kTelephoneHeading, Joined({kTelephoneOptions, kCommonOptions})}},
          QStringLiteral("\n") + kExitStatus);
    case Command::Verify:
      return Page(
          QStringLiteral(
              "用法：parlomax-cli verify 目录 [--json] [--telephone[=N] [电话选项]]\n\n"
              "检查目录里的录音是否还和复制时一样。每次复制都在目录的 .parlomax/ledger.jsonl\n"
              "里为每个完整复制的文件记下大小和 SHA-256，并在目录里写 SHA256SUMS\n"
              "（sha256sum -c SHA256SUMS 也能检查）。每个录音（.spx 文件和复制记录里的每个\n"
              "文件名）的状态是：\n"),
          {{QString(),
            {{QStringLiteral("完好"), {QStringLiteral("大小和 SHA-256 与最近一次复制时相同")}},
             {QStringLiteral("已改变"), {QStringLiteral("复制以后大小或内容变了")}},
             {QStringLiteral("不见了"), {QStringLiteral("复制记录里有，目录里没有")}},
             {QStringLiteral("不是 Parlomax 复制的"), {QStringLiteral("目录里有，复制记录里没有")}},
             {QStringLiteral("不完整"),
              {QStringLiteral("比文件头说的短，或是 .part 文件：中断的复制")}}}},
           {QStringLiteral(
                "\n然后检查复制记录本身：每一行都带着前一行的 SHA-256，删掉或改动一行，\n"
                "记录就在那里断开。写入时被中断的最后一行会注明并略过。\n\n选项：\n"),
            Joined(
                {Entries{
                     {QStringLiteral("--json"),
                      {QStringLiteral("输出一个 JSON 文档：每个录音的状态（verdict）、大小、"),
                       QStringLiteral("SHA-256 和复制时的记录，复制记录的检查结果")}},
                     {QStringLiteral("--telephone[=N]"),
                      {QStringLiteral("也连接电话（第 N 部，同 --device），列出电话里有而目录里"),
                       QStringLiteral(
                           "没有完整文件的录音（按头部认同一个录音，与 copy --new 相同）")}}},
                 kTelephoneOptions, kCommonOptions})}},
          QStringLiteral(
              "\n退出状态：0 全部完好（有 --telephone 时电话里的录音也都在）；1 有不完好的；\n"
              "          2 目录无法读取，或没有电话或密码；3 密码错误；4 电话断开；130 "
              "被中断。\n"));
    case Command::Doctor:
      return QStringLiteral(
          "用法：parlomax-cli doctor\n\n"
          "找不到电话时用：逐项检查 USB 上的每部电话（位置、当前用户能否打开它以及怎样解决、\n"
          "占用它的内核驱动、是哪一种芯片、打开请求的回答、电话是否应答），正在运行的模拟电话，\n"
          "解码程序和声音输出。不用密码，也不显示密码。\n\n"
          "退出状态：0 有电话可以使用；1 电话连着但不能使用；2 没有找到电话。\n");
    case Command::Autocopy:
      return QStringLiteral(
          "用法：parlomax-cli autocopy on [目录] | off | status\n\n"
          "插上电话时自动复制新的录音（与 copy --new 相同），复制完在桌面上显示通知。\n"
          "只对打开了它的用户有效；每晚的备份照旧。\n\n"
          "  on [目录]   打开：以后插上电话，新的录音复制到目录（默认 ~/通话录音）\n"
          "  off         关闭\n"
          "  status      是否打开、复制到哪里、电话密码保存在哪里、udev 规则是否已安装\n\n"
          "电话密码：在窗口的密码对话框里勾选“记住密码”（保存在桌面的钥匙环里，没有钥匙环时\n"
          "保存在 ~/.config/parlomax/pin），或自己把四位密码写进这个文件（chmod 600）。\n"
          "插上电话时，systemd 为打开了自动复制的用户运行 parlomax-cli autocopy run 设备。\n\n"
          "退出状态：0 完成；1 失败；2 没有电话或没有密码；3 密码错误；4 电话在复制中拔出。\n");
    case Command::None:
      break;
  }
  return Page(
      QStringLiteral(
          "用法：parlomax-cli 命令 [选项]\n\n不开窗口，在终端或定时任务里使用录音电话。命令：\n"),
      {{QString(),
        {{QStringLiteral("list"), {QStringLiteral("列出电话里的录音")}},
         {QStringLiteral("copy 目录 [--new|编号...]"), {QStringLiteral("把录音复制成 .spx 文件")}},
         {QStringLiteral("convert [--format wav|mp3|opus] SPX目录 输出目录"),
          {QStringLiteral("把 .spx 文件转换成 WAV、MP3 或 Opus 文件")}},
         {QStringLiteral("find 目录 [词...]"),
          {QStringLiteral("在目录的录音里查找，与窗口的查找栏相同")}},
         {QStringLiteral("export 文件.xls"), {QStringLiteral("把录音列表导出成 Excel 文件")}},
         {QStringLiteral("verify 目录"), {QStringLiteral("检查复制到目录里的录音是否完好")}},
         {QStringLiteral("doctor"), {QStringLiteral("找不到电话时，检查原因并说明解决办法")}},
         {QStringLiteral("autocopy on|off|status"),
          {QStringLiteral("插上电话时自动复制新的录音")}}}},
       {QStringLiteral("\nparlomax-cli 命令 --help 显示该命令的说明。\n") + kTelephoneHeading,
        Joined({kTelephoneOptions, kCommonOptions,
                Entries{{QStringLiteral("--version"), {QStringLiteral("显示版本")}}}})}},
      QStringLiteral("\n") + kExitStatus);
}

}  // namespace parlomax::cli
