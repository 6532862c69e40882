#include "LockTriggers.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEvent>
#include <algorithm>
#include <climits>
#include <utility>

#include "Clock.h"

namespace Module1 {
namespace {

const QString kLogin1 = QStringLiteral("org.freedesktop.login1");
const QString kLogin1Path = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

// The user's own doing in one of the program's windows.
bool isInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:  // typed through an input method, Chinese among it
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TabletPress:
      return true;
    default:
      return false;
  }
}

QDBusMessage askLogin1(const QString& method, const QVariant& argument) {
  return QDBusMessage::createMethodCall(kLogin1, kLogin1Path, kManager, method) << argument;
}

// logind sends Lock from the object of this process's session: asks for it in turn until one
// answers. None does outside a logind session; that trigger is then left out.
void findSession(LockTriggers* triggers, QList<QDBusMessage> asks) {
  if (asks.isEmpty()) return;
  QDBusConnection system = QDBusConnection::systemBus();
  auto* call = new QDBusPendingCallWatcher(system.asyncCall(asks.takeFirst()), triggers);
  QObject::connect(call, &QDBusPendingCallWatcher::finished, triggers,
                   [triggers, call, asks, system]() mutable {
                     call->deleteLater();
                     const QDBusPendingReply<QDBusObjectPath> session = *call;
                     if (!session.isValid()) return findSession(triggers, asks);
                     system.connect(kLogin1, session.value().path(),
                                    QStringLiteral("org.freedesktop.login1.Session"),
                                    QStringLiteral("Lock"), triggers, SIGNAL(lockRequested()));
                   });
}

}  // namespace

LockTriggers::LockTriggers(QObject* parent) : QObject(parent), lastInput_(now()) {
  QCoreApplication::instance()->installEventFilter(this);
  idleTimer_.setSingleShot(true);
  connect(&idleTimer_, &QTimer::timeout, this, &LockTriggers::checkIdle);
  checkIdle();

  // Qt's D-Bus is silent about a bus that is not there: what is asked of one comes to nothing.
  QDBusConnection session = QDBusConnection::sessionBus();
  for (const char* saver :
       {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver", "org.xfce.ScreenSaver"}) {
    const QString name = QString::fromLatin1(saver);
    session.connect(name, '/' + QString(name).replace('.', '/'), name,
                    QStringLiteral("ActiveChanged"), this, SLOT(lockWhen(bool)));
  }
  QDBusConnection::systemBus().connect(kLogin1, kLogin1Path, kManager,
                                       QStringLiteral("PrepareForSleep"), this,
                                       SLOT(lockWhen(bool)));
  QList<QDBusMessage> asks{
      askLogin1(QStringLiteral("GetSessionByPID"), quint32(QCoreApplication::applicationPid()))};
  if (const QString id = qEnvironmentVariable("XDG_SESSION_ID"); !id.isEmpty())
    asks << askLogin1(QStringLiteral("GetSession"), id);
  findSession(this, asks);
}

void LockTriggers::setIdleMinutes(int minutes) {
  idleMinutes_ = minutes;
  checkIdle();
}

void LockTriggers::checkIdle() {
  if (idleMinutes_ <= 0) return idleTimer_.stop();
  const QDateTime current = now();
  lastInput_ = std::min(lastInput_, current);  // the clock was set back: idle from now on
  const qint64 left = current.msecsTo(lastInput_.addSecs(qint64(idleMinutes_) * 60));
  if (left > 0)
    idleTimer_.start(int(std::min<qint64>(left, INT_MAX)));
  else if (!std::exchange(idleReported_, true))
    emit lockRequested();
}

bool LockTriggers::eventFilter(QObject* watched, QEvent* event) {
  if (isInput(event->type())) {
    // Only noted: the timer, still aimed at the old deadline, aims anew when it fires.
    lastInput_ = now();
    idleReported_ = false;
    if (!idleTimer_.isActive()) checkIdle();
  }
  return QObject::eventFilter(watched, event);
}

void LockTriggers::lockWhen(bool active) {
  if (active) emit lockRequested();
}

}  // namespace Module1
