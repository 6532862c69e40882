#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

namespace Module1 {

// Tells when a protected store should be locked: the session's screen locks (a screen saver's
// ActiveChanged(true) on the session bus, logind's Lock of this session), the machine is about
// to sleep (logind's PrepareForSleep(true)), or the program's windows have had no keyboard or
// mouse input for the idle minutes, shown or hidden. A bus or service that is not there is
// left out silently; the other triggers still work. Made once the application exists.
class LockTriggers : public QObject {
  Q_OBJECT

 public:
  explicit LockTriggers(QObject* parent = nullptr);

  // 10 unless set; 0: never by time.
  void setIdleMinutes(int minutes);

  // Asks for the lock when the idle minutes have passed since the last input (once per idle
  // spell), or aims the timer at when they will have. The timer calls it; so may tests.
  void checkIdle();

 signals:
  void lockRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void lockWhen(bool active);

 private:
  int idleMinutes_ = 10;
  QDateTime lastInput_;
  bool idleReported_ = false;
  QTimer idleTimer_;
};

}  // namespace Module1
