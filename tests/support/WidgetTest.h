#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

#include "MessageBox.h"
#include "TempStore.h"

// Support for the widget tests: the seams of Module1 replaced for the life of one object.
namespace testsupport {

// Records every message box and answers it from a queue (vbOK / vbYes when empty).
class BoxRecorder {
 public:
  struct Shown {
    Module1::BoxRequest box;
    QStringList visibleWindows;  // objectNames of the top-level windows visible meanwhile
  };

  BoxRecorder();
  ~BoxRecorder();
  void answerNext(Module1::Answer answer) { answers_.push_back(answer); }
  QList<Shown> shown;

 private:
  std::deque<Module1::Answer> answers_;
};

// A clock that returns the queued times in turn, then keeps returning the last one.
class FixedClock {
 public:
  explicit FixedClock(const QDateTime& time);
  ~FixedClock();
  void set(const QDateTime& time);
  void then(const QDateTime& time) { queue_.push_back(time); }

 private:
  QDateTime current_;
  std::deque<QDateTime> queue_;
};

// Records opened web addresses.
class WebRecorder {
 public:
  WebRecorder();
  ~WebRecorder();
  QStringList opened;
};

// Records program ends instead of ending the test process.
class EndRecorder {
 public:
  EndRecorder();
  ~EndRecorder();
  QList<int> exitCodes;
};

}  // namespace testsupport
