#include "Tray.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "WindowManager.h"

namespace Module1 {

NotifyIconData tpicon;

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
bool iconWanted = false;  // between addIcon and deleteIcon

std::optional<bool>& trayOverride() {
  static std::optional<bool> available;
  return available;
}

void showIcon() {
  if (tpicon.shown || !iconWanted) return;
  // Owned by the application so that it cannot outlive the event loop it reports to.
  tpicon.shown = new QSystemTrayIcon(tpicon.icon, QCoreApplication::instance());
  tpicon.shown->setToolTip(tpicon.tip);
  QObject::connect(tpicon.shown, &QSystemTrayIcon::activated,
                   [](QSystemTrayIcon::ActivationReason reason) {
                     if (tpicon.callback) tpicon.callback(reason);
                   });
  tpicon.shown->show();
}

bool onWayland() {
  return QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

// Under Wayland a notification area is a StatusNotifierItem host on the session bus, and Qt
// looks for one only once, the first time its tray code runs: a panel that starts later would
// never get the icon. So Qt's tray code is left alone until a host is there.
class HostWatch : public QObject {
  Q_OBJECT

 public:
  explicit HostWatch(QObject* parent) : QObject(parent), bus_(QDBusConnection::sessionBus()) {
    auto* owner =
        new QDBusServiceWatcher(kWatcher, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this, &HostWatch::check);
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
      bus_.connect(kWatcher, kWatcherPath, kWatcher, QString::fromLatin1(signal), this,
                   SLOT(check()));
    check();
  }

  bool hostPresent = false;

 private slots:
  void check() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call] {
      const QDBusPendingReply<QDBusVariant> reply = *call;
      hostPresent = reply.isValid() && reply.value().variant().toBool();
      if (hostPresent) showIcon();
      call->deleteLater();
    });
  }

 private:
  QDBusConnection bus_;
};

HostWatch& hostWatch() {
  static QPointer<HostWatch> watch;
  if (!watch) watch = new HostWatch(QCoreApplication::instance());
  return *watch;
}

}  // namespace

void addIcon() {
  ++tpicon.added;
  iconWanted = true;
  if (!onWayland() || hostWatch().hostPresent) showIcon();
}

void deleteIcon() {
  iconWanted = false;
  if (!tpicon.shown) return;
  tpicon.shown->hide();
  delete tpicon.shown;
  tpicon.shown = nullptr;
  ++tpicon.removed;
}

void hideToTray(QWidget* window) {
  if (!trayAvailable()) {
    window->showMinimized();
    return;
  }
  window->hide();
  // Looked at only while the window is in the tray: no event says that an XEmbed tray is gone.
  auto* watch = new QTimer(window);
  QObject::connect(watch, &QTimer::timeout, window, [window, watch] {
    if (!window->isHidden()) {  // brought back by the icon
      watch->deleteLater();
    } else if (!trayAvailable()) {
      restoreWindow(window);
      watch->deleteLater();
    }
  });
  watch->start(500);
}

bool trayAvailable() {
  if (trayOverride()) return *trayOverride();
  return onWayland() ? hostWatch().hostPresent : QSystemTrayIcon::isSystemTrayAvailable();
}

void setTrayAvailable(std::optional<bool> available) {
  trayOverride() = available;
}

}  // namespace Module1

#include "Tray.moc"
