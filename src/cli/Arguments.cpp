#include "cli/Arguments.h"

#include "audio/SoundEncoder.h"
#include "catalogue/DeviceList.h"

#include <QCommandLineParser>

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

namespace parlomax::cli {
namespace {

const std::map<std::string, Command> kCommands{
    {"list", Command::List},    {"copy", Command::Copy},     {"convert", Command::Convert},
    {"find", Command::Find},    {"export", Command::Export}, {"doctor", Command::Doctor},
    {"autocopy", Command::Autocopy}, {"verify", Command::Verify}};

// Whether the command logs in to one telephone.
bool LogsIn(const Arguments& a) {
  if (a.command == Command::Verify) return a.telephone;
  return a.command != Command::Convert && a.command != Command::Find &&
         a.command != Command::Doctor && a.command != Command::Autocopy;
}

std::optional<std::uint32_t> Number(const std::string& text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

QString Text(const std::string& s) { return QString::fromLocal8Bit(s.c_str()); }

// autocopy's own words: on [FOLDER] | off | status | run DEVICE.
QString CheckAutocopy(const std::vector<std::string>& words) {
  const QString usage = QStringLiteral("autocopy 需要 on [目录]、off、status 或 run 设备");
  if (words.empty()) return usage;
  const std::string& what = words[0];
  if (what == "on") return words.size() <= 2 ? QString() : QStringLiteral("autocopy on 只接受一个目录");
  if (what == "off" || what == "status") {
    return words.size() == 1 ? QString() : QStringLiteral("autocopy %1 不接受参数").arg(Text(what));
  }
  if (what == "run") {
    return words.size() == 2 ? QString() : QStringLiteral("autocopy run 需要一个设备（USB 位置或 sysfs 路径）");
  }
  return usage;
}

std::optional<catalogue::MonthDay> Date(const std::string& text) {
  return catalogue::RecordingFind::ParseDate(QString::fromUtf8(text));
}

std::optional<catalogue::CallType> Kind(const std::string& text) {
  return catalogue::RecordingFind::ParseKind(QString::fromUtf8(text));
}

// Why a value of find's options is refused; empty when it is good.
QString ValueMistake(const std::string& name, const std::string& value) {
  if ((name == "--since" || name == "--until") && !Date(value)) {
    return QStringLiteral("%1 需要日期，如 3-17、03/17 或 3月17日：%2")
        .arg(Text(name), Text(value));
  }
  if (name == "--kind" && !Kind(value)) {
    return QStringLiteral("--kind 需要 in、out 或 memo（来电、去电、录音）：%1").arg(Text(value));
  }
  if (name == "--format" && !audio::FormatNamed(value)) {
    return QStringLiteral("--format 需要 wav、mp3 或 opus：%1").arg(Text(value));
  }
  if (name == "--longer-than" && !Number(value)) {
    return QStringLiteral("--longer-than 需要秒数：%1").arg(Text(value));
  }
  return {};
}

// The checks that need the command: its options and how many words it takes.
QString CheckCommand(Arguments& a, bool deviceGiven) {
  if (deviceGiven && a.usbPlace) return QStringLiteral("--device 和 --usb 只能用一个");
  if (a.command == Command::Autocopy && (deviceGiven || a.pinFile || a.usbPlace)) {
    return QStringLiteral("autocopy 不接受 --device、--usb 和 --pin-file：run 后面写设备，密码见 parlomax-cli(1)");
  }
  if (!LogsIn(a) && a.usbPlace)
    return QStringLiteral("--usb 只用于连接电话的命令：list、copy、export 和 verify --telephone");
  if (!LogsIn(a) && (deviceGiven || a.pinFile)) {
    if (a.command == Command::Doctor)
      return QStringLiteral("doctor 查看所有电话，不用密码，不接受 --device 和 --pin-file");
    if (a.command == Command::Verify)
      return QStringLiteral("verify 只在有 --telephone 时连接电话，才接受 --device 和 --pin-file");
    return QStringLiteral("%1 不连接电话，不接受 --device 和 --pin-file")
        .arg(a.command == Command::Find ? QStringLiteral("find") : QStringLiteral("convert"));
  }
  if (a.json && a.command != Command::List && a.command != Command::Find &&
      a.command != Command::Verify) {
    return QStringLiteral("--json 只用于 list、find 和 verify");
  }
  if (a.telephone && a.command != Command::Verify)
    return QStringLiteral("--telephone 只用于 verify");
  if ((a.since || a.until || a.kind || a.longerThan) && a.command != Command::Find) {
    return QStringLiteral("--since、--until、--kind 和 --longer-than 只用于 find");
  }
  if (a.format && a.command != Command::Convert) return QStringLiteral("--format 只用于 convert");
  if (a.newOnly && a.command != Command::Copy) return QStringLiteral("--new 只用于 copy");
  if (a.force && a.command != Command::Export) return QStringLiteral("--force 只用于 export");
  const auto words = a.operands.size();
  switch (a.command) {
    case Command::List:
      if (words != 0) return QStringLiteral("list 不接受参数：%1").arg(Text(a.operands[0]));
      break;
    case Command::Copy:
      if (words == 0) return QStringLiteral("copy 需要一个保存录音的目录");
      if (a.newOnly && words > 1) return QStringLiteral("--new 与录音编号不能同时使用");
      for (std::size_t i = 1; i < words; ++i) {
        const auto number = Number(a.operands[i]);
        // The telephone never hands out its 65535th recording.
        if (!number || *number == 0 || *number > catalogue::kNeverRequestedIndex) {
          return QStringLiteral("录音编号须在 1 到 %1 之间：%2")
              .arg(catalogue::kNeverRequestedIndex)
              .arg(Text(a.operands[i]));
        }
        a.recordIndexes.push_back(static_cast<std::uint16_t>(*number - 1));
      }
      // Copied from the top of the list down, each once, as a selection is.
      std::sort(a.recordIndexes.begin(), a.recordIndexes.end());
      a.recordIndexes.erase(std::unique(a.recordIndexes.begin(), a.recordIndexes.end()), a.recordIndexes.end());
      break;
    case Command::Convert:
      if (words != 2) return QStringLiteral("convert 需要两个目录：SPX目录 WAV目录");
      break;
    case Command::Find:
      if (words == 0) return QStringLiteral("find 需要一个录音目录");
      break;
    case Command::Export:
      if (words != 1) return QStringLiteral("export 需要一个文件名，如 录音列表.xls");
      // The file is always an Excel 97 workbook; another ending would hide
      // that from whoever opens it.
      if (!Text(a.operands[0]).endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive))
        return QStringLiteral("export 的文件名须以 .xls 结尾：%1").arg(Text(a.operands[0]));
      break;
    case Command::Verify:
      if (words != 1) return QStringLiteral("verify 需要一个录音目录");
      break;
    case Command::Doctor:
      if (words != 0) return QStringLiteral("doctor 不接受参数：%1").arg(Text(a.operands[0]));
      break;
    case Command::Autocopy:
      return CheckAutocopy(a.operands);
    case Command::None:
      break;
  }
  return {};
}

// The option words this program has always taken. QCommandLineParser takes
// more: "--h" for "-h", "-help" for "--help", "-hq" for "-h -q".
const std::set<std::string> kFlags{"-h",     "--help", "--version", "-q",         "--quiet",
                                   "--json", "--new",  "--force",   "--telephone"};
const std::set<std::string> kWithValue{"--device", "--pin-file",    "--since", "--until",
                                       "--kind",   "--longer-than", "--usb",   "--format"};

// The first word the program refuses, in the order typed, and the command's
// name, which counts only before "--". QCommandLineParser reads the rest of
// the line, but it tells neither where a word stood nor which of several
// mistakes came first, and it answers in English.
struct FirstPass {
  QString mistake;
  Command command = Command::None;
};

FirstPass ReadFirst(const std::vector<std::string>& words) {
  FirstPass pass;
  for (std::size_t i = 0; i < words.size() && words[i] != "--"; ++i) {
    const std::string& word = words[i];
    if (word.size() < 2 || word[0] != '-') {
      if (pass.command != Command::None) continue;
      const auto known = kCommands.find(word);
      if (known == kCommands.end()) return {QStringLiteral("不认识的命令：%1").arg(Text(word))};
      pass.command = known->second;
      continue;
    }
    if (kFlags.contains(word)) continue;
    // --name=value as well as --name value
    const std::string name = word.substr(0, word.find('='));
    if (!kWithValue.contains(name)) return {QStringLiteral("不认识的选项：%1").arg(Text(word))};
    if (name == word && ++i == words.size()) return {QStringLiteral("%1 后面缺少值").arg(Text(name))};
    const std::string value = name == word ? words[i] : word.substr(name.size() + 1);
    if (name == "--device" && Number(value).value_or(0) == 0) {
      return {QStringLiteral("--device 需要从 1 起的电话编号：%1").arg(Text(value))};
    }
    if (const QString mistake = ValueMistake(name, value); !mistake.isEmpty()) return {mistake};
  }
  return pass;
}

// "--telephone=N" is "--telephone --device N": the telephone to ask.
std::vector<std::string> Unfolded(const std::vector<std::string>& words) {
  std::vector<std::string> out;
  bool options = true;
  for (const std::string& word : words) {
    options = options && word != "--";
    if (options && word.starts_with("--telephone=")) {
      out.insert(out.end(), {"--telephone", "--device", word.substr(12)});
    } else {
      out.push_back(word);
    }
  }
  return out;
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& typed) {
  ParsedArguments result;
  Arguments& a = result.arguments;
  const std::vector<std::string> words = Unfolded(typed);
  const FirstPass first = ReadFirst(words);
  if (!first.mistake.isEmpty()) {
    result.error = first.mistake;
    return result;
  }
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringLiteral("version"));
  const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
  const QCommandLineOption json(QStringLiteral("json"));
  const QCommandLineOption newOnly(QStringLiteral("new"));
  const QCommandLineOption force(QStringLiteral("force"));
  const QCommandLineOption telephone(QStringLiteral("telephone"));
  const QCommandLineOption device(QStringLiteral("device"), {}, QStringLiteral("N"));
  const QCommandLineOption pinFile(QStringLiteral("pin-file"), {}, QStringLiteral("FILE"));
  const QCommandLineOption usb(QStringLiteral("usb"), {}, QStringLiteral("PLACE"));
  const QCommandLineOption since(QStringLiteral("since"), {}, QStringLiteral("DATE"));
  const QCommandLineOption until(QStringLiteral("until"), {}, QStringLiteral("DATE"));
  const QCommandLineOption kind(QStringLiteral("kind"), {}, QStringLiteral("KIND"));
  const QCommandLineOption longerThan(QStringLiteral("longer-than"), {}, QStringLiteral("SECONDS"));
  const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("FORMAT"));
  parser.addOptions({help, version, quiet, json, newOnly, force, telephone, device, pinFile, usb,
                     since, until, kind, longerThan, format});
  // One character a byte, so that a file name that is not UTF-8 comes back
  // as it was typed; the parser compares only the ASCII option names.
  QStringList line{QString()};  // the program's name, which the parser skips
  for (const std::string& word : words) line.append(QString::fromLatin1(word));
  [[maybe_unused]] const bool read = parser.parse(line);
  Q_ASSERT(read);  // the first pass refuses every line the parser would
  const auto bytes = [](const QString& word) { return word.toLatin1().toStdString(); };
  a.command = first.command;
  a.help = parser.isSet(help);
  a.version = parser.isSet(version);
  a.quiet = parser.isSet(quiet);
  a.json = parser.isSet(json);
  a.newOnly = parser.isSet(newOnly);
  a.force = parser.isSet(force);
  a.telephone = parser.isSet(telephone);
  if (parser.isSet(device)) a.device = *Number(bytes(parser.value(device)));
  if (parser.isSet(pinFile)) a.pinFile = bytes(parser.value(pinFile));
  if (parser.isSet(usb)) a.usbPlace = bytes(parser.value(usb));
  // The first pass has checked every value these take.
  if (parser.isSet(since)) a.since = Date(bytes(parser.value(since)));
  if (parser.isSet(until)) a.until = Date(bytes(parser.value(until)));
  if (parser.isSet(kind)) a.kind = Kind(bytes(parser.value(kind)));
  if (parser.isSet(longerThan)) a.longerThan = Number(bytes(parser.value(longerThan)));
  if (parser.isSet(format)) a.format = audio::FormatNamed(bytes(parser.value(format)));
  QStringList operands = parser.positionalArguments();
  if (a.command != Command::None) operands.removeFirst();
  for (const QString& operand : operands) a.operands.push_back(bytes(operand));
  if (a.help || a.version) return result;
  if (a.command == Command::None) {
    result.error = QStringLiteral("缺少命令：list、copy、convert、find、export、verify、doctor 或 autocopy");
    return result;
  }
  result.error = CheckCommand(a, parser.isSet(device));
  return result;
}

}  // namespace parlomax::cli
