#include "app/SharedGuards.h"

#include "platform/shell/MessageService.h"

namespace parlomax::app {

bool SharedGuardsPass(const WindowState& state, shell::MessageService& messages) {
  if (state.PlayState != PlayState::Stopped) {
    messages.Warn(QStringLiteral("请先停止播放！"));
    return false;
  }
  if (state.ConvertSelectedRunning || state.ConvertAllRunning) {
    messages.Warn(QStringLiteral("请先停止转换！"));
    return false;
  }
  return true;
}

}  // namespace parlomax::app
