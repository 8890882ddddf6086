#include "app/StartOptions.h"

#include <cstdio>
#include <cstring>

namespace parlomax::app {
namespace {

constexpr char kHelp[] =
    "用法：parlomax [--help] [--version]\n"
    "录音电话的桌面程序：列出、复制、播放和转换电话里的通话录音，导出录音列表。\n"
    "插上电话，点“上传列表”，输入四位密码。\n"
    "\n"
    "  --help     显示这段说明\n"
    "  --version  显示版本\n"
    "\n"
    "窗口也接受 Qt 的选项，如 -platform offscreen。\n"
    "不开窗口的工作（复制、转换、检查）见 parlomax-cli --help 和 man parlomax。\n";

}  // namespace

std::optional<int> AnswerWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i];
    if (std::strcmp(word, "--") == 0) break;
    const bool help = std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
    const bool version = std::strcmp(word, "--version") == 0;
    if (!help && !version) continue;
    const int written = std::fputs(help ? kHelp : "parlomax " PARLOMAX_VERSION "\n", stdout);
    // A help nobody could read is not an answer.
    return written >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
  }
  return std::nullopt;
}

}  // namespace parlomax::app
