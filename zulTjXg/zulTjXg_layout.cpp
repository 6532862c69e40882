#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <limits>

#include "Controls.h"
#include "Texts.h"
#include "zulTjXg.h"

namespace {

// The form was designed in twips; 15 twips are one logical pixel.
QRect twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

QPushButton* button(QWidget* form, const char* name, const char* caption, const QColor& colour,
                    const QRect& geometry) {
  auto* b = new QPushButton(QString::fromUtf8(caption), form);
  b->setObjectName(QString::fromUtf8(name));
  b->setGeometry(geometry);
  Module1::colourButton(b, colour);
  return b;
}

QLabel* prompt(QWidget* form, const char* name, const char* caption, const QRect& geometry) {
  auto* l = new QLabel(QString::fromUtf8(caption), form);
  l->setObjectName(QString::fromUtf8(name));
  l->setGeometry(geometry);
  l->setFont(Module1::namedFont("宋体", 10.5));
  l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  return l;
}

}  // namespace

// Controls are created back to front, so creation order is the stacking order.
void zulTjXg::setupControls() {
  setObjectName(QStringLiteral("zulTjXg"));
  setWindowTitle(QString::fromUtf8(texts::kEditorCaption));
  setFixedSize(410, 168);

  txtMc = new QLineEdit(this);
  txtMc->setObjectName(QStringLiteral("txtMc"));
  txtMc->setGeometry(twips(0, 2160, 1590, 330));
  txtMc->setMaxLength(std::numeric_limits<int>::max());

  txtNr = new QPlainTextEdit(this);
  txtNr->setObjectName(QStringLiteral("txtNr"));
  txtNr->setGeometry(twips(1620, 0, 4530, 2490));
  txtNr->setFont(Module1::namedFont("微软雅黑", 10.5));
  QPalette navy = txtNr->palette();
  navy.setColor(QPalette::Text, QColor(0, 0, 128));
  txtNr->setPalette(navy);
  txtNr->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtNr->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtNr->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtNr->setTabChangesFocus(true);
  txtNr->installEventFilter(this);

  cmbLx = new QComboBox(this);
  cmbLx->setObjectName(QStringLiteral("cmbLx"));
  cmbLx->setGeometry(twips(0, 1500, 1635, 300));
  cmbLx->setEditable(true);
  // Qt's inline completion would rewrite what the user types; the list is only offered.
  cmbLx->setCompleter(nullptr);
  cmbLx->setInsertPolicy(QComboBox::NoInsert);
  cmbLx->setDuplicatesEnabled(true);

  cmdXg =
      button(this, "cmdXg", texts::kEditorCmdXg, QColor(255, 192, 128), twips(0, 750, 1635, 375));
  cmdFh = button(this, "cmdFh", texts::kCmdFh, QColor(192, 255, 192), twips(0, 0, 1635, 375));
  cmdTj =
      button(this, "cmdTj", texts::kEditorCmdTj, QColor(128, 128, 255), twips(0, 375, 1635, 375));
  Label2 = prompt(this, "Label2", texts::kLabel2, twips(0, 1860, 1590, 285));
  Label1 = prompt(this, "Label1", texts::kLabel1, twips(0, 1230, 1635, 255));

  setTabOrder(cmdFh, cmdTj);
  setTabOrder(cmdTj, cmdXg);
  setTabOrder(cmdXg, cmbLx);
  setTabOrder(cmbLx, txtMc);
  setTabOrder(txtMc, txtNr);

  connect(cmdFh, &QPushButton::clicked, this, &zulTjXg::cmdFh_Click);
  connect(cmdTj, &QPushButton::clicked, this, &zulTjXg::cmdTj_Click);
  connect(cmdXg, &QPushButton::clicked, this, &zulTjXg::cmdXg_Click);
}
