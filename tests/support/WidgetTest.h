#pragma once

// Every widget test includes this one header: Qt Test, the two windows, the Module1 seams
// replaced for the life of one object, and the windows seen the way a user sees them.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>
#include <deque>

#include "Clock.h"
#include "Controls.h"
#include "ErrorReport.h"
#include "MessageBox.h"
#include "TempStore.h"
#include "Tray.h"
#include "WebPage.h"
#include "zulM.h"
#include "zulTjXg.h"

namespace testsupport {

// Every seam replaced: message boxes are recorded as "caption|text|buttons" (the default
// starred when there is a choice, "|shown: names" when a window stays visible meanwhile) and
// answered from a queue (确定 / 是 when it is empty); the clock returns the queued times in
// turn, then keeps the last one; program ends and opened pages are recorded.
struct Seams {
  Seams();
  ~Seams();
  QStringList take() { return std::exchange(boxes, {}); }
  QStringList boxes, pages;
  QList<int> ends;
  std::deque<Module1::Answer> answers;
  std::function<void()> whileBoxShown;
  std::deque<QDateTime> clock{QDateTime(QDate(2015, 1, 31), QTime(19, 23, 30))};
};

// The main window on a fresh store of these accounts (as TempStore::add takes them), with
// the seams replaced; the controls of both windows by their object names, the tree by keys.
struct Main : Seams {
  explicit Main(const QStringList& accounts = {}) : w((s.add(accounts), s.path())) {}
  TempStore s;
  zulM w;

  template <typename T = QPushButton>
  T* c(const char* name) {
    return w.findChild<T*>(name);
  }
  zulTjXg* editor() const;  // null until first shown
  template <typename T = QPushButton>
  T* e(const char* name) {
    return editor()->findChild<T*>(name);
  }
  // A real double click on the node of `key`: press and release, then the double click.
  void doubleClick(const QString& key);
  // Opens the editor to add, or to modify the account of `key` after showing it.
  void open(const QString& key = {});
  // "y1:工作[c1:A,c3:C] y2:生活[c2:B]": type nodes, each with its account nodes.
  QString tree() const;
  QString view() { return Module1::boxText(c<QPlainTextEdit>("txtXs")); }
  // Which of Sc, Xg, Tj are enabled (even while the window is), and which windows are shown.
  QString state();
  // The editor's type list, then its type, name and content.
  QStringList editorBoxes();
  void fill(const QString& type, const QString& name, const QString& content);
};

// The window's own controls, back to front: name, class, geometry, caption, font, the colour
// near the top left corner, and the settings of text boxes, trees, labels and status bars.
QStringList describe(QWidget* window);
// The colours at these points of the window, "#rrggbb ...".
QString colours(QWidget* window, const QList<QPoint>& points);
// Object names of the controls beside `first` that Tab reaches, in order from `first`.
QString tabOrder(QWidget* first);

}  // namespace testsupport
