#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace parlomax::shell {

// Turns SIGTERM, SIGINT and SIGHUP (a desktop logout, Ctrl+C in a terminal,
// a plain kill) into a call of `onExit` on the thread that made the watch,
// from its event loop, so that the program can end the way its exit button
// ends it instead of dying where it stands. One watch per program.
class ExitSignals final : public QObject {
  Q_OBJECT

 public:
  explicit ExitSignals(std::function<void()> onExit);
  ~ExitSignals() override;

 private:
  std::function<void()> onExit_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace parlomax::shell
