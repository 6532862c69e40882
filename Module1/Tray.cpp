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
#include "XEmbedTray.h"

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

// Qt chooses between a StatusNotifierItem (over D-Bus, only if a host is registered at that
// moment) and an XEmbed icon once, the first time its tray code runs (an icon, or the question
// whether there is a tray), and keeps that choice: a panel that starts later would never get
// the icon. So under X11 and Wayland Qt's tray code waits for a notification area; elsewhere it
// is used at once.
bool qtDecidesAtOnce() {
  const QString platform = QGuiApplication::platformName();
  return platform != QStringLiteral("xcb") && !platform.startsWith(QStringLiteral("wayland"));
}

// Watches for a notification area, a StatusNotifierItem host on the session bus or under X11
// an XEmbed tray, and shows the icon once one is there.
class TrayWatch : public QObject {
  Q_OBJECT

 public:
  explicit TrayWatch(QObject* parent) : QObject(parent), bus_(QDBusConnection::sessionBus()) {
    auto* owner =
        new QDBusServiceWatcher(kWatcher, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this, &TrayWatch::check);
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
      bus_.connect(kWatcher, kWatcherPath, kWatcher, QString::fromLatin1(signal), this,
                   SLOT(check()));
    check();
    // A panel that takes both kinds may register its host just after it announces its XEmbed
    // tray; Qt would then keep XEmbed for good. The host is given a moment first.
    xembedLater_.setSingleShot(true);
    connect(&xembedLater_, &QTimer::timeout, this, [] {
      if (xembedTrayPresent()) showIcon();
    });
    onXEmbedTrayAppeared(this, [this] { xembedLater_.start(2000); });
  }

  bool present() const { return hostPresent_ || xembedTrayPresent(); }

 private slots:
  void check() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcher, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, call] {
      const QDBusPendingReply<QDBusVariant> reply = *call;
      hostPresent_ = reply.isValid() && reply.value().variant().toBool();
      if (hostPresent_) showIcon();
      call->deleteLater();
    });
  }

 private:
  QDBusConnection bus_;
  bool hostPresent_ = false;
  QTimer xembedLater_;
};

TrayWatch& trayWatch() {
  static QPointer<TrayWatch> watch;
  if (!watch) watch = new TrayWatch(QCoreApplication::instance());
  return *watch;
}

}  // namespace

void addIcon() {
  ++tpicon.added;
  iconWanted = true;
  if (qtDecidesAtOnce() || trayWatch().present()) showIcon();
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
  return qtDecidesAtOnce() ? QSystemTrayIcon::isSystemTrayAvailable() : trayWatch().present();
}

void setTrayAvailable(std::optional<bool> available) {
  trayOverride() = available;
}

}  // namespace Module1

#include "Tray.moc"
