#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>

#include "Connection.h"
#include "Recordset.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The editor: one borderless window for adding and modifying accounts. One instance per
// run, created by the main window the first time it is shown; afterwards only hidden and
// shown.
class zulTjXg : public QWidget {
  Q_OBJECT

 public:
  // Opens the store of the main window's connection `mainCn` when first shown, with its key.
  explicit zulTjXg(const store::Connection& mainCn);
  ~zulTjXg() override;

  // Shows the editor empty, offering `types` in its type list.
  void openForAdd(const QStringList& types);
  // Shows the account of `row` for modification, as the main window last read it.
  void openForModify(store::RowId row, const QString& name, const QString& type,
                     const QString& content);
  // Opens the store again as the main window's connection now has it: another file took the
  // place of the one it had, or its form changed.
  void reconnect();
  // Locking the store: the editor hidden and emptied, its connection without the key. While
  // `keep` is given (the editor was open), what it held is first sealed with it. unlock()
  // shows that again, once the store's key is back on the main window's connection; false when
  // nothing was kept, or it does not open with this key (the store was replaced meanwhile).
  void lock(const store::Vault* keep);
  bool unlock(const store::Vault& vault);

 signals:
  // 返回 or a close request; the editor hides itself after its receivers ran.
  void returned();
  // Just before the editor reads the account it modifies, and before it writes: its receivers
  // make sure that the store is the file at its path.
  void aboutToWrite();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class ZulTjXgTest;

  void setupControls();  // zulTjXg_layout.cpp
  void showEditor();     // visible, running Form_Load the first time
  void Form_Load();
  void dqjl();
  void lxsx();
  void cmdFh_Click();
  void cmdTj_Click();  // zulTjXg_add.cpp
  void cmdXg_Click();  // zulTjXg_modify.cpp
  bool findTarget();
  bool txtNr_KeyDown(int keyCode, Qt::KeyboardModifiers shift);

  const store::Connection& mainCn_;
  bool loaded_ = false;
  bool reconnected_ = false;  // by reconnect(), since the flag was last cleared

  QPushButton* cmdFh = nullptr;
  QPushButton* cmdTj = nullptr;
  QPushButton* cmdXg = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QComboBox* cmbLx = nullptr;
  QLineEdit* txtMc = nullptr;
  QPlainTextEdit* txtNr = nullptr;

  store::Connection cn;
  std::unique_ptr<store::Recordset> rs;

  QString strMc, strLx, strNr;   // the row found for modification, as stored
  std::optional<QString> varLx;  // type of the last add that passed validation
  store::RowId targetRowId = 0;  // the account this opening modifies
  std::string sealed_;           // what the editor held when the store was locked
};
