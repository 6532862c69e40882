#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

#include "Controls.h"
#include "FoundAccounts.h"
#include "Texts.h"
#include "WindowManager.h"
#include "zulCz.h"

// The box on top, the list of what it finds under it, the count at the foot; in the font and
// with the icon of the main window.
void zulCz::setupControls(const QIcon& icon) {
  setObjectName(QStringLiteral("zulCz"));
  setWindowTitle(QString::fromUtf8(texts::kFindCaption));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(360, 300);
  setWindowIcon(icon);
  setFont(Module1::namedFont("微软雅黑", 9));

  labCz = new QLabel(QString::fromUtf8(texts::kLabCz), this);
  labCz->setObjectName(QStringLiteral("labCz"));
  labCz->setGeometry(8, 8, 44, 24);

  txtCz = new QLineEdit(this);
  txtCz->setObjectName(QStringLiteral("txtCz"));
  txtCz->setGeometry(52, 8, 300, 24);
  labCz->setBuddy(txtCz);

  lvwJg = new QTreeView(this);
  lvwJg->setObjectName(QStringLiteral("lvwJg"));
  lvwJg->setGeometry(8, 40, 344, 228);
  lvwJg->setRootIsDecorated(false);
  lvwJg->setUniformRowHeights(true);
  lvwJg->setAllColumnsShowFocus(true);
  lvwJg->setEditTriggers(QAbstractItemView::NoEditTriggers);
  found = new FoundAccounts(tree_, this);
  lvwJg->setModel(found);
  lvwJg->header()->resizeSection(0, 210);

  labJg = new QLabel(this);
  labJg->setObjectName(QStringLiteral("labJg"));
  labJg->setGeometry(8, 272, 344, 22);

  setTabOrder(txtCz, lvwJg);
  connect(txtCz, &QLineEdit::textChanged, this, &zulCz::txtCz_Change);
  connect(lvwJg, &QTreeView::doubleClicked, this, &zulCz::lvwJg_DblClick);
  txtCz->installEventFilter(this);
  lvwJg->installEventFilter(this);
  Module1::setTopmost(this);
}
