#include "platform/realtime/RealtimeThread.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
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
// It stays with the process and the programs it starts, so it is set only
// when the kit is asked.
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

const QString kKitService = QStringLiteral("org.freedesktop.RealtimeKit1");
const QString kKitPath = QStringLiteral("/org/freedesktop/RealtimeKit1");
// A player waits for this before it plays: a slow bus must not hold it up long.
constexpr int kKitTimeoutMs = 1000;

// Plain calls with a short time-out: no introspection round trips, and a
// service not yet running is started by the bus on the first call.
QDBusMessage CallKit(QDBusConnection& bus, const QString& interface, const QString& method,
                     const QList<QVariant>& arguments) {
  QDBusMessage call = QDBusMessage::createMethodCall(kKitService, kKitPath, interface, method);
  call.setArguments(arguments);
  return bus.call(call, QDBus::Block, kKitTimeoutMs);
}

bool AskRealtimeKit() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return false;
  const QDBusMessage most = CallKit(bus, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                    {kKitService, QStringLiteral("MaxRealtimePriority")});
  if (most.type() != QDBusMessage::ReplyMessage || most.arguments().isEmpty()) return false;
  const int priority = std::min(kPriority, most.arguments().first().value<QDBusVariant>().variant().toInt());
  if (priority < 1) return false;
  // The kit grants nothing to a process whose threads have no such limit.
  LimitRealtimeBudget();
  const QDBusMessage granted =
      CallKit(bus, kKitService, QStringLiteral("MakeThreadRealtime"),
              {QVariant::fromValue<qulonglong>(static_cast<qulonglong>(::gettid())),
               QVariant::fromValue<uint>(static_cast<uint>(priority))});
  return granted.type() == QDBusMessage::ReplyMessage;
}

}  // namespace

void AllowPriorityChanges(bool allow) { allowed = allow; }

Scheduling MakeThisThreadTimeCritical() {
  if (!allowed) return Scheduling::Niced;
  if (SetRoundRobin(kPriority)) return Scheduling::Realtime;
  if (AskRealtimeKit()) return Scheduling::Granted;
  // As high as the system lets an ordinary program go; most let it go nowhere.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -20);
  return Scheduling::Niced;
}

}  // namespace parlomax::realtime
