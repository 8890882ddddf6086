// A stand-in for the desktop's notification server, for tests and
// benchmarks on a private session bus (dbus-run-session):
//   parlomax-notification-recorder LOG -- PROGRAM ARGS...
// owns org.freedesktop.Notifications, starts the program, and writes one
// line into LOG for every Notify it gets: the milliseconds since the program
// started, the summary, the body and the actions, tab-separated. Each notice
// is closed at once (NotificationClosed), as a user dismissing it would. Its
// exit status is the program's.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>

namespace {

const QString kName = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

class Recorder final : public QDBusVirtualObject {
 public:
  Recorder(QString log, const QElapsedTimer& clock) : log_(std::move(log)), clock_(clock) {}

  QString introspect(const QString&) const override { return {}; }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != kName) return false;
    if (message.member() == QStringLiteral("GetCapabilities")) {
      connection.send(
          message.createReply(QStringList{QStringLiteral("actions"), QStringLiteral("body")}));
      return true;
    }
    if (message.member() != QStringLiteral("Notify") || message.arguments().size() != 8)
      return false;
    const QVariantList a = message.arguments();
    const uint id = ++lastId_;
    QFile file(log_);
    if (file.open(QIODevice::Append)) {
      const QString line =
          QStringLiteral("%1\t%2\t%3\t%4\n")
              .arg(clock_.elapsed())
              .arg(a[3].toString(), a[4].toString(), a[5].toStringList().join(u','));
      file.write(line.toUtf8());
      file.close();
    }
    connection.send(message.createReply(QVariant::fromValue(id)));
    QDBusMessage closed =
        QDBusMessage::createSignal(kPath, kName, QStringLiteral("NotificationClosed"));
    closed << id << uint{2};
    connection.send(closed);
    return true;
  }

 private:
  QString log_;
  const QElapsedTimer& clock_;
  uint lastId_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const QStringList words = application.arguments();
  if (words.size() < 4 || words[2] != QStringLiteral("--")) {
    std::fprintf(stderr, "usage: %s LOG -- PROGRAM ARGS...\n", argv[0]);
    return 2;
  }
  QElapsedTimer clock;
  Recorder recorder(words[1], clock);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerVirtualObject(kPath, &recorder) || !bus.registerService(kName)) {
    std::fprintf(stderr, "cannot own %s on the session bus\n", qPrintable(kName));
    return 2;
  }
  QProcess program;
  program.setProcessChannelMode(QProcess::ForwardedChannels);
  program.setInputChannelMode(QProcess::ForwardedInputChannel);
  QObject::connect(&program, &QProcess::finished, &application,
                   [&](int code, QProcess::ExitStatus how) {
                     application.exit(how == QProcess::NormalExit ? code : 128);
                   });
  QObject::connect(&program, &QProcess::errorOccurred, &application,
                   [&](QProcess::ProcessError error) {
                     if (error == QProcess::FailedToStart) application.exit(127);
                   });
  clock.start();
  program.start(words[3], words.mid(4));
  return application.exec();
}
