#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>

#include "AccountTree.h"
#include "Controls.h"
#include "Texts.h"
#include "icon.h"
#include "zulM.h"

namespace {

void fillBackground(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

QPushButton* commandButton(QWidget* window, const char* name, const char* caption,
                           const QRect& geometry, const QColor& colour) {
  auto* button = new QPushButton(QString::fromUtf8(caption), window);
  button->setObjectName(QString::fromUtf8(name));
  button->setGeometry(geometry);
  Module1::colourButton(button, colour);
  return button;
}

}  // namespace

// Controls are created from the back to the front: a later child is drawn over an earlier
// one where they overlap (the tree and the record box over the status bar, the status bar
// over cmdTp). Geometry is in logical pixels, so the window scales on high-dpi screens.
void zulM::setupControls() {
  setObjectName(QStringLiteral("zulM"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(499, 315);
  setWindowIcon(programIcon());
  fillBackground(this, QColor(224, 224, 224));

  cmdTp = commandButton(this, "cmdTp", texts::kCmdTp, {148, 274, 95, 23}, QColor(0, 192, 0));

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setGeometry(0, 294, 499, 21);
  StatusBar1->setSizeGripEnabled(false);
  // Opaque in the default colour, so that it covers the foot of cmdTp.
  fillBackground(StatusBar1, QApplication::palette().color(QPalette::Window));

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(100);

  cmdSc = commandButton(this, "cmdSc", texts::kCmdSc, {148, 62, 95, 31}, QColor(255, 128, 128));
  cmdHelp =
      commandButton(this, "cmdHelp", texts::kCmdHelp, {148, 94, 95, 31}, QColor(192, 255, 192));
  cmdAbout =
      commandButton(this, "cmdAbout", texts::kCmdAbout, {148, 125, 95, 31}, QColor(192, 255, 255));
  cmdXg = commandButton(this, "cmdXg", texts::kCmdXg, {148, 31, 95, 31}, QColor(255, 192, 128));
  cmdTj = commandButton(this, "cmdTj", texts::kCmdTj, {148, 0, 95, 31}, QColor(128, 128, 255));

  txtXs = new Module1::PlainCopyTextEdit(this);
  txtXs->setObjectName(QStringLiteral("txtXs"));
  txtXs->setGeometry(244, 0, 255, 296);
  txtXs->setReadOnly(true);
  txtXs->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  txtXs->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtXs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtXs->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtXs->setFont(Module1::namedFont("微软雅黑", 10.5));
  QPalette recordColours = txtXs->palette();
  recordColours.setColor(QPalette::Base, QColor(255, 204, 207));
  recordColours.setColor(QPalette::Text, QColor(0, 0, 128));
  txtXs->setPalette(recordColours);
  // A right click shows a message instead (txtXs_MouseDown).
  txtXs->setContextMenuPolicy(Qt::NoContextMenu);

  tvwXs = new QTreeView(this);
  tvwXs->setObjectName(QStringLiteral("tvwXs"));
  tvwXs->setGeometry(0, 0, 148, 295);
  tvwXs->setFont(Module1::namedFont("微软雅黑", 9));
  tvwXs->setHeaderHidden(true);
  tvwXs->setUniformRowHeights(true);
  tvwXs->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree = new AccountTree(this);
  tvwXs->setModel(tree);

  labSjxs = new QLabel(this);
  labSjxs->setObjectName(QStringLiteral("labSjxs"));
  labSjxs->setGeometry(148, 156, 95, 118);
  labSjxs->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  labSjxs->setWordWrap(true);
  fillBackground(labSjxs, QColor(255, 255, 128));

  setTabOrder(tvwXs, txtXs);
  setTabOrder(txtXs, cmdTj);
  setTabOrder(cmdTj, cmdXg);
  setTabOrder(cmdXg, cmdAbout);
  setTabOrder(cmdAbout, cmdHelp);
  setTabOrder(cmdHelp, cmdSc);
  setTabOrder(cmdSc, cmdTp);
  tvwXs->setFocus();

  connect(cmdTj, &QPushButton::clicked, this, &zulM::cmdTj_Click);
  connect(cmdXg, &QPushButton::clicked, this, &zulM::cmdXg_Click);
  connect(cmdSc, &QPushButton::clicked, this, &zulM::cmdSc_Click);
  connect(cmdTp, &QPushButton::clicked, this, &zulM::cmdTp_Click);
  connect(cmdAbout, &QPushButton::clicked, this, &zulM::cmdAbout_Click);
  connect(cmdHelp, &QPushButton::clicked, this, &zulM::cmdHelp_Click);
  connect(Timer1, &QTimer::timeout, this, &zulM::Timer1_Timer);
  // Window-wide, whichever control has the focus; the tree keeps its own typing search.
  auto* mnuCz = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
  mnuCz->setObjectName(QStringLiteral("mnuCz"));
  connect(mnuCz, &QShortcut::activated, this, &zulM::mnuCz_Click);
  auto* mnuSd = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
  mnuSd->setObjectName(QStringLiteral("mnuSd"));
  connect(mnuSd, &QShortcut::activated, this, &zulM::lockStore);
  // Key presses reach txtXs itself; mouse presses and double clicks reach the viewports.
  txtXs->installEventFilter(this);
  txtXs->viewport()->installEventFilter(this);
  tvwXs->viewport()->installEventFilter(this);

  Timer1->start();
}

// The events the form's handlers take: the tree's double click anywhere on the control, and
// the record box's mouse down and key down. A key the handler copies with is still passed
// on unless it says otherwise.
bool zulM::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tvwXs->viewport() && event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    tvwXs_DblClick();
  } else if (watched == txtXs->viewport() && event->type() == QEvent::MouseButtonPress) {
    txtXs_MouseDown(static_cast<QMouseEvent*>(event)->button());
  } else if (watched == txtXs && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    return txtXs_KeyDown(key->key(), key->modifiers());
  }
  return QWidget::eventFilter(watched, event);
}
