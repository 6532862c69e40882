#pragma once

#include <QModelIndex>
#include <QThreadPool>
#include <QWidget>
#include <atomic>
#include <deque>
#include <memory>

#include "FindIndex.h"

class AccountTree;
class FoundAccounts;
class QIcon;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QTreeView;

// The find window: accounts by name, type or pinyin, chosen as if double-clicked in the tree.
// One instance, created by the main window at the first Ctrl+F, afterwards hidden and shown.
// Searches run beside the window, so typing never waits for them: each keystroke makes the
// searches before it useless, and they stop.
class zulCz : public QWidget {
  Q_OBJECT

 public:
  // Searches the accounts of `tree`, the main window's, and follows its rebuilds.
  zulCz(const AccountTree& tree, const QIcon& icon);
  ~zulCz() override;

  // Shows the window with its text selected, the index built anew if the tree was rebuilt.
  void showFind();

 signals:
  // The node of the account chosen by Enter or a double-click, to be shown as a double-click
  // on it shows it.
  void chosen(const QModelIndex& node);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Search {
    FindQuery query;
    std::shared_ptr<const FindMatches> matches;
  };

  void setupControls(const QIcon& icon);  // zulCz_layout.cpp
  void txtCz_Change();
  bool Form_KeyDown(QObject* control, QKeyEvent* event);
  void lvwJg_DblClick(const QModelIndex& row);
  void tree_Reset();
  void searchTree();  // the index of the tree as it is now, and the box's text searched in it
  void choose(const QModelIndex& row);
  void searched(const std::shared_ptr<const FindIndex>& index, Search search, bool newest);
  void showMatches(const FindMatches* matches);

  const AccountTree& tree_;

  QLabel* labCz = nullptr;
  QLineEdit* txtCz = nullptr;
  QTreeView* lvwJg = nullptr;
  QLabel* labJg = nullptr;
  FoundAccounts* found = nullptr;  // lvwJg's rows

  std::shared_ptr<const FindIndex> index_;  // null until needed after a rebuild of the tree
  std::deque<Search> recent_;               // this index's last searches, newest first
  std::shared_ptr<std::atomic<std::uint64_t>> newest_ =
      std::make_shared<std::atomic<std::uint64_t>>(0);  // number of the newest search
  std::uint64_t shown_ = 0;    // number of the search whose matches the list shows
  bool enterPending_ = false;  // Enter came before the newest search's matches
  QThreadPool searches_;
};
