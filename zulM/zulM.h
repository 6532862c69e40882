#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>

#include "Connection.h"
#include "Controls.h"
#include "Recordset.h"

namespace Module1 {
class LockTriggers;
}
class QFileSystemWatcher;
class QLabel;
class QModelIndex;
class QPushButton;
class QStatusBar;
class QTimer;
class QTreeView;
class AccountTree;
class zulCz;
class zulTjXg;

// A node of the account tree as handlers and tests see it.
struct NodeInfo {
  QString key;        // "y1", "y2", ... for types; "c" + store position for accounts
  QString text;       // the type, or the account name
  QString parentKey;  // empty for type nodes
  int children = 0;
  store::RowId rowId = 0;  // the account's row; 0 for type nodes
};

// The main window: account tree, record view, summary label, clock, tray icon and links.
// Constructing it runs Form_Load; store errors escape to the caller.
class zulM : public QWidget {
  Q_OBJECT

 public:
  explicit zulM(QString storePath, QWidget* parent = nullptr);
  ~zulM() override;

  // The tree through a small interface: the selected node, and selecting a node by key.
  std::optional<NodeInfo> selectedNode() const;
  void selectNode(const QString& key);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class ZulMTest;

  // Layout (zulM_layout.cpp)
  void setupControls();

  // Start-up and shutdown (zulM.cpp)
  void Form_Load();
  void Form_QueryUnload();
  void Form_Unload();
  // The passphrase window until the store on cn is unlocked (false: 取消), `note` under its
  // prompt.
  bool askStorePassphrase(const char* note);

  // Tree and record view (zulM_tree.cpp, zulM_record.cpp)
  void sxnode();
  void an();
  void dqjl();
  void sy1();
  void tvwXs_DblClick();
  void txtXs_MouseDown(Qt::MouseButton button);
  bool txtXs_KeyDown(int keyCode, Qt::KeyboardModifiers shift);

  // The editor (zulM_editor.cpp): opened for adding or modifying; its return rebuilds the tree.
  void cmdTj_Click();
  void cmdXg_Click();
  void editorWindow_Returned();
  zulTjXg& editor();  // created and loaded the first time it is shown

  // The find window (zulM_find.cpp): Ctrl+F shows it; it closes when an account is chosen in
  // it, when the editor opens or when the window hides in the notification area.
  void mnuCz_Click();
  void closeFind();
  void findWindow_Chosen(const QModelIndex& node);

  // The file at the store's path is the store (zulM_follow.cpp): another program may replace or
  // change it while the program runs, and the windows follow it.
  void startFollowing();
  void followStore();
  void fswWjj_DirectoryChanged();
  void Timer2_Timer();
  void followChanges();  // both of them: the file, the tree, conflict copies
  void refreshTree();

  // Locking a protected store (zulM_lock.cpp): Ctrl+L (mnuSd) and what LockTriggers tells lock
  // it; the windows hide, and everything read from the store leaves them and the memory, the
  // key with it. The icon stays: bringing the window back asks for the passphrase, and the
  // windows come back as they were, the editor with what was typed in it.
  void armLock();  // the triggers of a protected store, with the store's idle minutes
  void lockStore();
  void forgetStore();
  void unlockStore();
  void comeBack();  // the window shown again while locked (without a tray, or the tray gone)
  // Conflict copies beside the store (zulM_merge.cpp): offered for merging at start and when
  // one appears while nothing else asks the user anything, each once a run.
  void offerMerges();
  void mergeCopy(const std::filesystem::path& copy, QWidget* over);

  // Delete (zulM_delete.cpp), clock (zulM_clock.cpp), tray (zulM_tray.cpp), links
  // (zulM_links.cpp)
  void cmdSc_Click();
  void Timer1_Timer();
  void tpicon_Activated(QSystemTrayIcon::ActivationReason reason);
  void cmdTp_Click();
  void cmdAbout_Click();
  void cmdHelp_Click();

  QString storePath_;

  // Controls, named as on the form.
  QTreeView* tvwXs = nullptr;
  AccountTree* tree = nullptr;  // tvwXs's nodes
  Module1::PlainCopyTextEdit* txtXs = nullptr;
  QPushButton* cmdTj = nullptr;
  QPushButton* cmdXg = nullptr;
  QPushButton* cmdSc = nullptr;
  QPushButton* cmdHelp = nullptr;
  QPushButton* cmdAbout = nullptr;
  QPushButton* cmdTp = nullptr;
  QLabel* labSjxs = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;              // looks at the store's file once a second while shown
  QFileSystemWatcher* fswWjj = nullptr;  // the store's folder

  store::Connection cn;
  std::unique_ptr<store::Recordset> rs;

  // The account last read by dqjl; current while txtXs holds text.
  QString strMc, strLx, strNr;
  store::Value cjsj, zhxg;
  store::RowId shownRowId = 0;  // the row whose content txtXs shows

  bool blnEmpty = false;
  std::optional<std::uint32_t> treeAt;  // the file's change counter when the tree was read
  bool treeStale = false;               // another program changed the file since
  QElapsedTimer storeMissing;           // since when no file is at the path (not running: one is)
  QStringList arrLx;                    // distinct non-empty types, in order of first appearance

  Module1::LockTriggers* triggers = nullptr;  // while the store is protected
  bool blnSd = false;                         // locked
  bool askingPassphrase = false;
  // Where the windows were when the store was locked, by place and row only.
  struct LockedView {
    QList<int> expanded;  // type nodes
    QString selected;     // a node's key
    store::RowId shown = 0;
    int scrolled = 0;
    bool editorOpen = false;
  } lockedView;
  std::set<std::filesystem::path> copiesAsked;  // offered in this run, whatever the answer
  bool offeringMerges = false;                  // its boxes let the watcher's events through
  bool mergesPending = false;  // the folder changed since it was last looked at for copies

  std::unique_ptr<zulTjXg> editorWindow;
  std::unique_ptr<zulCz> findWindow;  // created at the first Ctrl+F
};
