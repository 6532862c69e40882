#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>

#include "Controls.h"
#include "zulM.h"
#include "zulTjXg.h"

// zulM befriends this class: the editor tests reach the main window's handlers and state
// through it alone.
class ZulMTest {
 public:
  // Shows the account of `key` in the record view, as a double-click does.
  static void showAccount(zulM& w, const QString& key) {
    w.selectNode(key);
    w.tvwXs_DblClick();
  }
  static void openAdd(zulM& w) { w.cmdTj_Click(); }
  static void openModify(zulM& w) { w.cmdXg_Click(); }
  static zulTjXg* editor(const zulM& w) { return w.editorWindow.get(); }
  static QString recordView(const zulM& w) { return Module1::boxText(w.txtXs); }
  static store::RowId shownRowId(const zulM& w) { return w.shownRowId; }
  static QStringList& arrLx(zulM& w) { return w.arrLx; }
};

// The entries of a combo box's list, in order.
inline QStringList typeList(const QComboBox* box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
  return out;
}

// Puts type, name and content into the editor's boxes, as the user would type them.
inline void fill(QWidget& editor, const QString& type, const QString& name,
                 const QString& content) {
  editor.findChild<QComboBox*>(QStringLiteral("cmbLx"))->setEditText(type);
  editor.findChild<QLineEdit*>(QStringLiteral("txtMc"))->setText(name);
  editor.findChild<QPlainTextEdit*>(QStringLiteral("txtNr"))->setPlainText(content);
}

// The main window's tree as "key:text", in the order the nodes were added.
inline QStringList treeTexts(const zulM& w) {
  QStringList out;
  for (const NodeInfo& n : w.treeNodes()) out << n.key + ':' + n.text;
  return out;
}
