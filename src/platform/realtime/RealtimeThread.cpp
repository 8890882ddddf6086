#include "platform/realtime/RealtimeThread.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QVariant>

#include <algorithm>
#include <atomic>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace parlomax::realtime {
namespace {

// Above ordinary threads, well below the sound server's own (which asks
// for more) and the kernel's.
constexpr int kPriority = 5;
// The CPU a real-time thread may use without waiting before the kernel
// steps in; RealtimeKit grants nothing to a process that has no such limit.
constexpr rlim_t kRealtimeBudgetMicroseconds = 200000;

std::atomic<bool> allowed{true};

void LimitRealtimeBudget() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_RTTIME, &limit) != 0) return;
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= kRealtimeBudgetMicroseconds) return;
  limit.rlim_cur = limit.rlim_max = kRealtimeBudgetMicroseconds;
  ::setrlimit(RLIMIT_RTTIME, &limit);
}

bool SetRoundRobin(int priority) {
  sched_param parameter{};
  parameter.sched_priority = priority;
  return ::pthread_setschedparam(::pthread_self(), SCHED_RR | SCHED_RESET_ON_FORK, &parameter) == 0;
}

bool AskRealtimeKit() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return false;
  QDBusInterface kit(QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("/org/freedesktop/RealtimeKit1"),
                     QStringLiteral("org.freedesktop.RealtimeKit1"), bus);
  if (!kit.isValid()) return false;
  const QVariant most = kit.property("MaxRealtimePriority");
  const int priority = std::min(kPriority, most.isValid() ? most.toInt() : kPriority);
  if (priority < 1) return false;
  const QDBusReply<void> reply = kit.call(QStringLiteral("MakeThreadRealtime"),
                                          QVariant::fromValue<qulonglong>(static_cast<qulonglong>(::gettid())),
                                          QVariant::fromValue<uint>(static_cast<uint>(priority)));
  return reply.isValid();
}

}  // namespace

void AllowPriorityChanges(bool allow) { allowed = allow; }

Scheduling MakeThisThreadTimeCritical() {
  if (!allowed) return Scheduling::Niced;
  LimitRealtimeBudget();
  if (SetRoundRobin(kPriority)) return Scheduling::Realtime;
  if (AskRealtimeKit()) return Scheduling::Granted;
  // As high as the system lets an ordinary program go; most let it go nowhere.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -20);
  return Scheduling::Niced;
}

}  // namespace parlomax::realtime
