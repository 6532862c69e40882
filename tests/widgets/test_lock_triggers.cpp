// What asks for a protected store's lock: screen savers and logind played on private buses, and
// idle time on the program's clock.
#include <fcntl.h>
#include <sys/prctl.h>

#include <QtDBus>
#include <csignal>

#include "Clock.h"
#include "LockTriggers.h"
#include "WidgetTest.h"

namespace {

const QString kLogin1 = "/org/freedesktop/login1", kSession = kLogin1 + "/session/c7";

QByteArray startBus() {  // a dbus-daemon that ends with this process; its address once it listens
  int out[2];
  if (pipe(out) == 0 && fork() == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    dup2(out[1], 1), dup2(open("/dev/null", O_WRONLY), 2);  // it tells root of its fd limit
    // The session bus's rules let anyone own any name: as good for the system bus here.
    execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr);
    _exit(127);
  }
  QFile address;
  return address.open(out[0], QIODevice::ReadOnly) ? address.readLine().trimmed() : "";
}

// Plays logind, knowing this process's session by its pid (while byPid) or else by its id, c7;
// other calls are answered alike.
struct Login1 : QDBusVirtualObject {
  bool byPid = true;
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& call, const QDBusConnection& bus) override {
    const QVariant id = call.arguments().value(0);
    return bus.send(!id.isValid() || id == (byPid ? QVariant(quint32(getpid())) : QVariant("c7"))
                        ? call.createReply(QVariant::fromValue(QDBusObjectPath(kSession)))
                        : call.createErrorReply(QDBusError::Failed, "no session"));
  }
};

// True once all that `peer` sent before is handled here: its answer to a call comes after it.
bool settle(const QDBusConnection& here, const QDBusConnection& peer) {
  const auto ping = QDBusMessage::createMethodCall(peer.baseService(), kLogin1, "t.P", "Ping");
  return here.call(ping, QDBus::BlockWithGui).type() == QDBusMessage::ReplyMessage;
}

}  // namespace

class LockTriggersTest : public QObject {
  Q_OBJECT

 public:
  static void initMain() {  // before Qt's D-Bus code looks for the buses; noBuses() goes without
    for (const char* bus : {"DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS"})
      if (!qEnvironmentVariableIsSet("KELVARN_NO_BUSES")) qputenv(bus, startBus());
  }

 private slots:
  // Each true ActiveChanged and PrepareForSleep, each Lock of this session asks for one lock;
  // false ones and another session's Lock for none. Screen savers that start before or after
  // the program; the session found by this process or else by XDG_SESSION_ID.
  void busSignals() {
    qputenv("XDG_SESSION_ID", "c7");
    const QDBusConnection here[] = {QDBusConnection::sessionBus(), QDBusConnection::systemBus()};
    QDBusConnection peer[] = {
        QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), "s"),
        QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS"), "y")};
    Login1 login1;
    for (QDBusConnection& bus : peer)
      QVERIFY(bus.registerVirtualObject(kLogin1, &login1, QDBusConnection::SubPath));
    QVERIFY(peer[1].registerService("org.freedesktop.login1"));
    const std::tuple<int, QString, QString, QString> rows[] = {
        // bus, path, interface, signal
        {0, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", "ActiveChanged"},
        {0, "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "ActiveChanged"},
        {0, "/org/xfce/ScreenSaver", "org.xfce.ScreenSaver", "ActiveChanged"},
        {1, kLogin1, "org.freedesktop.login1.Manager", "PrepareForSleep"},
        {1, kSession, "org.freedesktop.login1.Session", "Lock"}};
    for (const bool byPid : {true, false}) {
      login1.byPid = byPid;
      Module1::LockTriggers triggers;
      QSignalSpy locks(&triggers, &Module1::LockTriggers::lockRequested);
      for (int i = 0; i < 3; ++i) {  // the session asked for, asked again, its Lock connected
        QVERIFY(settle(here[1], peer[1]));
        QVERIFY(peer[0].registerService(std::get<2>(rows[i])));
      }
      for (const auto& [bus, path, interface, name] : rows)
        for (const bool active : {false, true}) {
          const bool lock = name == "Lock";  // whose false one is another session's
          QDBusMessage signal =
              QDBusMessage::createSignal(path + (lock && !active ? "0" : ""), interface, name);
          QVERIFY(peer[bus].send(lock ? signal : signal << active));
          QVERIFY(settle(here[bus], peer[bus]));
          QCOMPARE(locks.count(), int(active));
          locks.clear();
        }
    }
  }

  // Ten minutes without input ask once, found by the timer aimed at then; input starts them
  // anew; 0 never asks. With the buses or without, nothing is said.
  void idle() {
    QTest::failOnWarning(QRegularExpression());
    QDateTime t(QDate(2015, 1, 31), QTime(19, 0));
    Module1::setClock([&] { return t; });
    Module1::LockTriggers triggers;
    QSignalSpy locks(&triggers, &Module1::LockTriggers::lockRequested);
    QWidget window;
    const auto after = [&](int s) { return t = t.addSecs(s), triggers.checkIdle(), locks.count(); };
    QCOMPARE(after(300), 0);
    QTest::keyClick(&window, Qt::Key_A);  // starts the minutes anew
    QCOMPARE(after(599), 0);
    t = t.addSecs(1);
    QTRY_COMPARE(locks.count(), 1);
    QCOMPARE(after(3600), 1);  // once for each spell
    QTest::mouseClick(&window, Qt::LeftButton);
    QCOMPARE(after(600), 2);
    triggers.setIdleMinutes(0);
    QTest::keyClick(&window, Qt::Key_A);
    QCOMPARE(after(99999), 2);
    Module1::setClock({});
  }

  // Without a session bus and with a system bus that is not there: idle() in a child process.
  void noBuses() {
    QProcess child;
    QTemporaryDir runtime;  // what the sanitizers and Qt need, nothing that leads to a bus
    child.setEnvironment(QProcess::systemEnvironment().filter(QRegularExpression("^([AUL]SAN|QT)_"))
                         << "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/none"
                         << "KELVARN_NO_BUSES=1"
                         << "XDG_RUNTIME_DIR=" + runtime.path());
    child.start(QCoreApplication::applicationFilePath(), {"idle"});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.readAllStandardError() + QByteArray::number(child.exitCode()), "0");  // passed
  }
};

QTEST_MAIN(LockTriggersTest)
#include "test_lock_triggers.moc"
