#pragma once

// The two windows with the Module1 seams replaced, seen the way a user sees them.
#include <QtWidgets>
#include <deque>

#include "Controls.h"
#include "MessageBox.h"
#include "TempStore.h"
#include "Tray.h"
#include "zulM.h"
#include "zulTjXg.h"

namespace testsupport {

// Boxes and ends recorded, answers, clock and passphrases (取消 when none left) queued.
struct Seams {
  Seams();
  ~Seams();
  QStringList take() { return std::exchange(boxes, {}); }
  QStringList boxes;  // "caption|text|buttons[|shown: windows]"
  QList<int> ends;
  std::deque<Module1::Answer> answers;
  QStringList passphrases;
  std::function<void()> whileBoxShown;
  std::deque<QDateTime> clock{QDateTime(QDate(2015, 1, 31), QTime(19, 23, 30))};
};

// The main window on a store of these accounts, protected with the last passphrase typed;
// `beforeStart` sees the store and the seams before the window starts.
struct Main : Seams {
  explicit Main(const QStringList& accounts = {}, const QStringList& typed = {},
                const std::function<void(Main&)>& beforeStart = {})
      : w((s.add(accounts), typed.isEmpty() ? void() : s.protect(typed.last().toUtf8()),
           passphrases = typed, beforeStart ? beforeStart(*this) : void(), s.path())) {}
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
  void doubleClick(const QString& key);
  // The editor to add, or to modify the account of `key` after showing it.
  void open(const QString& key = {});
  // "y1:工作[c1:A,c3:C] y2:生活[c2:B]": type nodes, each with its account nodes.
  QString tree() const;
  QString view() { return Module1::boxText(c<QPlainTextEdit>("txtXs")); }
  // Which of Sc, Xg, Tj are enabled (even while the window is not), and the windows shown.
  QString state();
  // The editor's type list, then its type, name and content.
  QStringList editorBoxes();
  void fill(const QString& type, const QString& name, const QString& content);
};

// The window's controls back to front: geometry, caption, font, colour and settings.
QStringList describe(QWidget* window);
// Whether 32 bytes, given xor `mask` so that the caller holds no copy of them, lie anywhere in
// this process's readable memory.
bool inOwnMemory(const QByteArray& masked, const QByteArray& mask);

// The controls Tab reaches from `first`.
QString tabOrder(QWidget* first);

}  // namespace testsupport
