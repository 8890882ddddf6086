#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace parlomax::testing {

// Runs the window thread's events until `done` holds or `timeoutMs` passes;
// returns whether it holds. For waiting on queued calls, not for timing.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

// Runs the window thread's events for `ms`, to see that nothing (more)
// happens meanwhile: a check that a late update does not land. It can only
// miss a fault on a slow machine, never invent one; never use it to wait
// for something that must happen.
inline void LetEventsRunFor(int ms) { PumpUntil([] { return false; }, ms); }

}  // namespace parlomax::testing
