// A lock of the store empties the editor; what it held while open is kept sealed under the
// store's key, which only the passphrase gives back, and is back in its boxes after unlocking.
#include <QComboBox>
#include <QDataStream>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "Controls.h"
#include "zulTjXg.h"

namespace {

constexpr std::string_view kSealedLabel = "锁定时的编辑器";

}  // namespace

void zulTjXg::lock(const store::Vault* keep) {
  if (keep) {
    QStringList types;
    for (int i = 0; i < cmbLx->count(); ++i) types << cmbLx->itemText(i);
    QByteArray plain;
    QDataStream out(&plain, QIODevice::WriteOnly);
    out << cmdTj->isEnabled() << qint64(targetRowId) << strMc << varLx.has_value()
        << varLx.value_or(QString()) << types << cmbLx->currentText() << txtMc->text()
        << Module1::boxText(txtNr);
    sealed_ = keep->sealValue({plain.constData(), size_t(plain.size())}, kSealedLabel);
    plain.fill('\0');
  }
  hide();
  // setText and setPlainText, unlike clear(), also drop what the boxes keep to undo.
  cmbLx->clear();
  cmbLx->setEditText({});
  txtMc->setText({});
  txtNr->setPlainText({});
  strMc.clear(), strLx.clear(), strNr.clear();
  varLx.reset();
  rs.reset();
  cn.forgetKey();
}

bool zulTjXg::unlock(const store::Vault& vault) {
  std::string sealed = std::exchange(sealed_, {});
  const std::optional<std::string_view> plain = vault.openValue(sealed, kSealedLabel);
  if (!plain) return false;
  QDataStream in(QByteArray::fromRawData(plain->data(), qsizetype(plain->size())));
  bool adding = false, typed = false;
  qint64 row = 0;
  QString type, current, name, content;
  QStringList types;
  in >> adding >> row >> strMc >> typed >> type >> types >> current >> name >> content;
  std::fill(sealed.begin(), sealed.end(), '\0');
  targetRowId = row;
  varLx = typed ? std::optional(type) : std::nullopt;
  showEditor();
  cmdTj->setEnabled(adding);
  cmdXg->setEnabled(!adding);
  cmbLx->clear();  // an answer 否 at the lock may have left an item behind
  cmbLx->addItems(types);
  cmbLx->setCurrentIndex(int(types.indexOf(current)));
  cmbLx->setEditText(current);
  txtMc->setText(name);
  txtNr->setPlainText(content);
  txtNr->setFocus();
  return true;
}
