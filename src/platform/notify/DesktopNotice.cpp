#include "platform/notify/DesktopNotice.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <QVariantMap>

namespace parlomax::notify {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kOpenAction = QStringLiteral("default");
constexpr int kCallTimeoutMs = 3000;

// What became of one notice: clicked, dismissed, or still up. It listens
// before the notice is sent, since a server may answer at once, and keeps
// what it hears until it knows which notice is its own. QtDBus takes signals
// only into named slots, hence a small object of its own.
class NoticeAnswer : public QObject {
  Q_OBJECT
 public:
  explicit NoticeAnswer(QEventLoop& loop) : loop_(loop) {}

  void SetId(uint id) {
    id_ = id;
    if (clickedIds_.contains(id)) clicked_ = true;
    if (clickedIds_.contains(id) || closedIds_.contains(id)) ended_ = true;
  }
  bool Ended() const { return ended_; }
  bool Clicked() const { return clicked_; }

 public Q_SLOTS:
  void ActionInvoked(uint id, const QString& action) {
    if (action == kOpenAction) clickedIds_.append(id);
    if (id_ && id == id_) {
      clicked_ = clicked_ || action == kOpenAction;
      ended_ = true;
      loop_.quit();
    }
  }
  void NotificationClosed(uint id, uint /*reason*/) {
    closedIds_.append(id);
    if (id_ && id == id_) {
      ended_ = true;
      loop_.quit();
    }
  }

 private:
  QEventLoop& loop_;
  uint id_ = 0;
  bool ended_ = false;
  bool clicked_ = false;
  QList<uint> clickedIds_, closedIds_;
};

void OpenFolder(const std::filesystem::path& folder) {
  // Not waited for: some file browsers keep their launcher until they close.
  QProcess::startDetached(QStringLiteral("xdg-open"), {QFile::decodeName(folder.c_str())});
}

}  // namespace

bool ShowNotice(const Notice& notice, std::chrono::milliseconds linger) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  const bool offersFolder = !notice.folder.empty();
  QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("org.parlomax.Parlomax")},
                    {QStringLiteral("urgency"), QVariant::fromValue<uchar>(notice.urgent ? 2 : 1)}};
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  call << QStringLiteral("Parlomax") << uint{0} << QStringLiteral("org.parlomax.Parlomax")
       << notice.summary << notice.body
       << (offersFolder ? QStringList{kOpenAction, QStringLiteral("打开文件夹")} : QStringList{})
       << hints << int{-1};
  QEventLoop loop;
  NoticeAnswer answer(loop);
  const bool waits = offersFolder && linger.count() > 0 && QCoreApplication::instance();
  if (waits) {
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), &answer,
                SLOT(ActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), &answer,
                SLOT(NotificationClosed(uint, uint)));
  }
  const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
  if (!waits) return true;
  QTimer::singleShot(linger, &loop, &QEventLoop::quit);
  // Signals that came with the reply are delivered first.
  QCoreApplication::processEvents();
  answer.SetId(reply.arguments().first().toUInt());
  if (!answer.Ended()) loop.exec();
  if (answer.Clicked()) OpenFolder(notice.folder);
  return true;
}

}  // namespace parlomax::notify

#include "DesktopNotice.moc"
