#include "zulTjXg.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "Statements.h"
#include "WindowManager.h"

zulTjXg::zulTjXg(const store::Connection& mainCn)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), mainCn_(mainCn) {
  setupControls();
}

zulTjXg::~zulTjXg() = default;

void zulTjXg::showEditor() {
  if (!loaded_) {
    Form_Load();
    loaded_ = true;
  }
  Module1::restoreWindow(this);
}

void zulTjXg::Form_Load() {
  cn.Open(mainCn_.path());
  cn.shareKey(mainCn_);  // the passphrase is asked once per run
  Module1::setTopmost(this);
  Module1::keepPlace(this);
}

void zulTjXg::reconnect() {
  if (!loaded_) return;  // opened on the file there when first shown
  cn.Open(mainCn_.path());
  cn.shareKey(mainCn_);
  reconnected_ = true;
}

// A null field reads as empty text: a row written by some other tool must not end the program.
void zulTjXg::dqjl() {
  auto text = [this](const char* field) {
    const std::string_view value = rs->FieldText(field);
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
  };
  strMc = text(store::kName);
  strLx = text(store::kType);
  strNr = text(store::kContent);
}

void zulTjXg::lxsx() {
  const QString type = varLx.value_or(QString());
  for (int i = 0; i < cmbLx->count(); ++i)
    if (cmbLx->itemText(i) == type) return;
  // Qt selects the first entry put into an empty list; the typed text must stay as it is.
  const int index = cmbLx->currentIndex();
  const QString text = cmbLx->currentText();
  cmbLx->addItem(type);
  cmbLx->setCurrentIndex(index);
  cmbLx->setEditText(text);
}

void zulTjXg::cmdFh_Click() {
  emit returned();
  hide();
}

bool zulTjXg::txtNr_KeyDown(int keyCode, Qt::KeyboardModifiers shift) {
  const Qt::KeyboardModifiers held =
      shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (keyCode == Qt::Key_S && held == Qt::ControlModifier) {
    if (cmdTj->isEnabled())
      cmdTj_Click();
    else
      cmdXg_Click();
  }
  return false;
}

// A window manager's close request (there is no close box, but Alt+F4 still reaches the
// window) must not leave the main window hidden and disabled.
void zulTjXg::closeEvent(QCloseEvent* event) {
  event->ignore();
  cmdFh_Click();
}

bool zulTjXg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtNr && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    return txtNr_KeyDown(key->key(), key->modifiers());
  }
  return QWidget::eventFilter(watched, event);
}
