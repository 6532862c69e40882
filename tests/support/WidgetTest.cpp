#include "WidgetTest.h"

#include <fcntl.h>

#include "AccountTree.h"
#include "Clock.h"
#include "ErrorReport.h"
#include "Passphrase.h"

namespace {

using Module1::registerFontSubstitutes;
Q_COREAPP_STARTUP_FUNCTION(registerFontSubstitutes)

}  // namespace

namespace testsupport {

Seams::Seams() {
  Module1::setMessageBoxScript([this](const Module1::BoxRequest& box) {
    QString line = box.caption + '|' + box.text + '|';
    const bool ok = box.buttons == Module1::Buttons::Ok;
    line += ok ? "确定" : box.defaultAnswer == Module1::vbNo ? "是,否*" : "是*,否";
    QStringList visible;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) visible << w->objectName();
    boxes << (visible.isEmpty() ? line : line + "|shown: " + visible.join(','));
    if (whileBoxShown) whileBoxShown();
    if (answers.empty()) return ok ? Module1::vbOK : Module1::vbYes;
    const Module1::Answer answer = answers.front();
    answers.pop_front();
    return answer;
  });
  Module1::setClock([this] {
    if (clock.size() > 1) clock.pop_front();
    return clock.front();
  });
  Module1::setPassphraseScript([this]() -> std::optional<QString> {
    if (passphrases.empty()) return std::nullopt;
    return passphrases.takeFirst();
  });
  Module1::setProgramEnd([this](int code) { ends << code; });
}

Seams::~Seams() {
  Module1::setMessageBoxScript({});
  Module1::setClock({});
  Module1::setPassphraseScript({});
  Module1::setProgramEnd({});
}

// What it read is wiped: a copy found must not be found again.
bool inOwnMemory(const QByteArray& masked, const QByteArray& mask) {
  QFile maps("/proc/self/maps");
  const int mem = ::open("/proc/self/mem", O_RDONLY);
  std::vector<unsigned char> chunk((1 << 20) + 32);
  for (const QByteArray& line :
       maps.open(QIODevice::ReadOnly) ? maps.readAll().split('\n') : QByteArrayList()) {
    const QList<QByteArray> f = line.split(' ');
    quint64 at = f[0].split('-')[0].toULongLong(nullptr, 16),
            end = f[0].split('-').value(1).toULongLong(nullptr, 16);
    if (f.size() < 2 || !f[1].startsWith('r') || end - at > (quint64(1) << 30) ||
        line.contains("[v"))
      continue;
    for (ssize_t got;
         at < end && (got = pread(mem, chunk.data(), std::min<quint64>(chunk.size(), end - at),
                                  off_t(at))) > 32;
         at += quint64(got) - 31)
      for (auto* p = chunk.data(); (p = static_cast<uchar*>(std::memchr(
                                        p, masked[0] ^ mask[0], chunk.data() + got - 31 - p)));
           ++p) {
        int same = 1;
        while (same < 32 && (p[same] ^ uchar(mask[same])) == uchar(masked[same])) ++same;
        if (same == 32) return std::fill(chunk.begin(), chunk.end(), 0), ::close(mem), true;
      }
  }
  return ::close(mem), false;
}

zulTjXg* Main::editor() const {
  for (QWidget* top : QApplication::topLevelWidgets())
    if (auto* e = qobject_cast<zulTjXg*>(top)) return e;
  return nullptr;
}

void Main::doubleClick(const QString& key) {
  auto* view = c<QTreeView>("tvwXs");
  const QModelIndex node = static_cast<AccountTree*>(view->model())->find(key);
  if (!node.isValid()) qFatal("no node %s", qPrintable(key));
  view->scrollTo(node);  // opens the node's type
  const QPoint at = view->visualRect(node).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

void Main::open(const QString& key) {
  if (!key.isEmpty()) doubleClick(key);
  c(key.isEmpty() ? "cmdTj" : "cmdXg")->click();
}

QString Main::tree() const {
  const auto* model = static_cast<AccountTree*>(w.findChild<QTreeView*>("tvwXs")->model());
  QStringList types;
  for (int t = 0; t < model->rowCount(); ++t) {
    const QModelIndex type = model->index(t, 0);
    QStringList accounts;
    for (int a = 0; a < model->rowCount(type); ++a) {
      const QModelIndex account = model->index(a, 0, type);
      accounts << model->key(account) + ':' + model->text(account);
    }
    types << model->key(type) + ':' + model->text(type) + '[' + accounts.join(',') + ']';
  }
  return types.join(' ');
}

QString Main::state() {
  QString out;
  for (const char* button : {"cmdSc", "cmdXg", "cmdTj"})
    if (!c(button)->testAttribute(Qt::WA_ForceDisabled)) out += button[3];
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible()) out += ' ' + top->objectName();
  return out;
}

QStringList Main::editorBoxes() {
  auto* type = e<QComboBox>("cmbLx");
  QStringList out;
  for (int i = 0; i < type->count(); ++i) out << type->itemText(i);
  return out << type->currentText() << e<QLineEdit>("txtMc")->text()
             << Module1::boxText(e<QPlainTextEdit>("txtNr"));
}

void Main::fill(const QString& type, const QString& name, const QString& content) {
  auto* lx = e<QComboBox>("cmbLx");
  QApplication::setActiveWindow(lx->window());
  lx->setFocus();  // typed key by key into the focused box, as a completer would see them
  lx->clearEditText();
  for (const QChar c : type) QTest::sendKeyEvent(QTest::Click, lx->lineEdit(), Qt::Key_A, c, {});
  e<QLineEdit>("txtMc")->setText(name);
  e<QPlainTextEdit>("txtNr")->setPlainText(content);
}

QStringList describe(QWidget* window) {
  const QImage image = window->grab().toImage();
  QStringList out;
  for (QWidget* c : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QRect r = c->geometry();
    QString line = c->objectName() + ' ' + c->metaObject()->className() +
                   QString::asprintf(" %d,%d %dx%d ", r.x(), r.y(), r.width(), r.height());
    if (auto* button = qobject_cast<QPushButton*>(c)) line += button->text() + ' ';
    if (c->font().resolveMask())
      line += QString("%1 %2 ").arg(c->font().family()).arg(c->font().pointSizeF());
    line += image.pixelColor(r.topLeft() + QPoint(4, 4)).name();
    if (auto* box = qobject_cast<QPlainTextEdit*>(c))
      line += QString::asprintf(" %s %d%d%d%d ", box->isReadOnly() ? "read-only" : "editable",
                                box->lineWrapMode() + 2 * box->tabChangesFocus(),
                                box->verticalScrollBarPolicy(), box->horizontalScrollBarPolicy(),
                                box->contextMenuPolicy()) +
              box->palette().color(QPalette::Text).name();
    if (auto* tree = qobject_cast<QTreeView*>(c))
      line += QString::asprintf(" %d%d", tree->isHeaderHidden(), int(tree->editTriggers()));
    if (auto* label = qobject_cast<QLabel*>(c))
      line += ' ' + label->text() +
              QString::asprintf("%d%x", label->wordWrap(), int(label->alignment()));
    if (auto* bar = qobject_cast<QStatusBar*>(c))
      line += QString::asprintf(" %d", bar->isSizeGripEnabled());
    out << line;
  }
  return out;
}

QString tabOrder(QWidget* first) {
  QStringList out;
  QWidget* w = first;
  do {
    if ((w->focusPolicy() & Qt::TabFocus) && w->parentWidget() == first->parentWidget())
      out << w->objectName();
    w = w->nextInFocusChain();
  } while (w != first);
  return out.join(' ');
}

}  // namespace testsupport
