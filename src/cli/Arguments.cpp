#include "cli/Arguments.h"

#include "catalogue/DeviceList.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace parlomax::cli {
namespace {

const std::map<std::string, Command> kCommands{{"list", Command::List},       {"copy", Command::Copy},
                                              {"convert", Command::Convert}, {"export", Command::Export},
                                              {"doctor", Command::Doctor}};

// Whether the command logs in to one telephone.
bool LogsIn(Command command) { return command != Command::Convert && command != Command::Doctor; }

std::optional<std::uint32_t> Number(const std::string& text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

QString Text(const std::string& s) { return QString::fromLocal8Bit(s.c_str()); }

// The checks that need the command: its options and how many words it takes.
QString CheckCommand(Arguments& a, bool deviceGiven) {
  if (!LogsIn(a.command) && (deviceGiven || a.pinFile)) {
    return a.command == Command::Convert ? QStringLiteral("convert 不连接电话，不接受 --device 和 --pin-file")
                                         : QStringLiteral("doctor 查看所有电话，不用密码，不接受 --device 和 --pin-file");
  }
  if (a.json && a.command != Command::List) return QStringLiteral("--json 只用于 list");
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
    case Command::Export:
      if (words != 1) return QStringLiteral("export 需要一个文件名，如 录音列表.xls");
      break;
    case Command::Doctor:
      if (words != 0) return QStringLiteral("doctor 不接受参数：%1").arg(Text(a.operands[0]));
      break;
    case Command::None:
      break;
  }
  return {};
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& words) {
  ParsedArguments result;
  Arguments& a = result.arguments;
  bool optionsEnded = false;
  bool deviceGiven = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::string word = words[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      if (a.command == Command::None && !optionsEnded) {
        const auto known = kCommands.find(word);
        if (known == kCommands.end()) {
          result.error = QStringLiteral("不认识的命令：%1").arg(Text(word));
          return result;
        }
        a.command = known->second;
      } else {
        a.operands.push_back(word);
      }
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    // --name=value as well as --name value
    std::optional<std::string> attached;
    if (const auto equals = word.find('='); word.starts_with("--") && equals != std::string::npos) {
      attached = word.substr(equals + 1);
      word.resize(equals);
    }
    const auto value = [&]() -> std::optional<std::string> {
      if (attached) return attached;
      if (i + 1 < words.size()) return words[++i];
      return std::nullopt;
    };
    if (word == "--device" || word == "--pin-file") {
      const auto given = value();
      if (!given) {
        result.error = QStringLiteral("%1 后面缺少值").arg(Text(word));
        return result;
      }
      if (word == "--pin-file") {
        a.pinFile = *given;
      } else if (const auto n = Number(*given); n && *n >= 1) {
        a.device = *n;
        deviceGiven = true;
      } else {
        result.error = QStringLiteral("--device 需要从 1 起的电话编号：%1").arg(Text(*given));
        return result;
      }
      continue;
    }
    bool* flag = word == "-h" || word == "--help" ? &a.help
                 : word == "--version"           ? &a.version
                 : word == "-q" || word == "--quiet" ? &a.quiet
                 : word == "--json"              ? &a.json
                 : word == "--new"               ? &a.newOnly
                 : word == "--force"             ? &a.force
                                                 : nullptr;
    if (!flag || attached) {
      result.error = QStringLiteral("不认识的选项：%1").arg(Text(words[i]));
      return result;
    }
    *flag = true;
  }
  if (a.help || a.version) return result;
  if (a.command == Command::None) {
    result.error = QStringLiteral("缺少命令：list、copy、convert、export 或 doctor");
    return result;
  }
  result.error = CheckCommand(a, deviceGiven);
  return result;
}

}  // namespace parlomax::cli
