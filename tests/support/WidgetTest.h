#pragma once

// Every widget test includes this one header for Qt Test, the controls and both windows.
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <deque>

#include "AccountTree.h"
#include "Controls.h"
#include "ErrorReport.h"
#include "MessageBox.h"
#include "TempStore.h"
#include "Texts.h"
#include "Tray.h"
#include "WebPage.h"
#include "zulM.h"
#include "zulTjXg.h"

// Support for the widget tests: the seams of Module1 replaced for the life of one object, and
// short views of the store and the windows.
namespace testsupport {

// Records every message box as "caption|text|buttons", the default starred when there is a
// choice and "|shown: names" added when any window stays visible meanwhile; answers from a
// queue (vbOK / vbYes when empty).
class BoxRecorder {
 public:
  BoxRecorder();
  ~BoxRecorder() { Module1::setMessageBoxScript({}); }
  void answerNext(Module1::Answer answer) { answers_.push_back(answer); }
  QStringList seen;
  std::function<void()> whileShown;  // runs while each box is open

 private:
  std::deque<Module1::Answer> answers_;
};

// A clock that returns the queued times in turn, then keeps returning the last one.
class FixedClock {
 public:
  explicit FixedClock(const QDateTime& time);
  ~FixedClock();
  void set(const QDateTime& time) {
    queue_.clear();
    current_ = time;
  }
  void then(const QDateTime& time) { queue_.push_back(time); }

 private:
  QDateTime current_;
  std::deque<QDateTime> queue_;
};

// Records opened web addresses.
struct WebRecorder {
  WebRecorder() {
    Module1::setWebOpener([this](const QString& url) { opened << url; });
  }
  ~WebRecorder() { Module1::setWebOpener({}); }
  QStringList opened;
};

// Records program ends instead of ending the test process.
struct EndRecorder {
  EndRecorder() {
    Module1::setProgramEnd([this](int code) { exitCodes << code; });
  }
  ~EndRecorder() { Module1::setProgramEnd({}); }
  QList<int> exitCodes;
};

// Every stored row as name, type, content, created, modified (NULL reads as empty).
QList<QStringList> table(const TempStore& store);
// The stored names in store order.
QStringList names(const TempStore& store);
// The main window's tree as "key:text", in the order the nodes were added.
QStringList treeTexts(const zulM& w);
// The window's own controls, back to front, as "name Class x,y wxh".
QStringList controlsOf(const QWidget* window);
// Object names of the controls beside `first` that Tab reaches, in order from `first`.
QStringList tabOrder(QWidget* first);

}  // namespace testsupport
