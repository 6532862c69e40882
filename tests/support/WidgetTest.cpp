#include "WidgetTest.h"

#include <QApplication>
#include <QDir>
#include <QWidget>
#include <cstdlib>

#include "Clock.h"
#include "Controls.h"
#include "zulM.h"

namespace {

// Runs before main: the platform and DPI the layout tests rely on, and a private runtime dir.
const bool environmentReady = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QT_FONT_DPI", "96", 0);
  const QString runtime = QDir::tempPath() + "/kelvarn-test-runtime";
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  setenv("XDG_RUNTIME_DIR", runtime.toUtf8().constData(), 0);
  return true;
}();

void registerFonts() {
  Module1::registerFontSubstitutes();
}
Q_COREAPP_STARTUP_FUNCTION(registerFonts)

}  // namespace

namespace testsupport {

BoxRecorder::BoxRecorder() {
  Module1::setMessageBoxScript([this](const Module1::BoxRequest& box) {
    QString line = box.caption + '|' + box.text + '|';
    if (box.buttons == Module1::Buttons::Ok)
      line += "确定";
    else
      line += box.defaultAnswer == Module1::vbNo ? "是,否*" : "是*,否";
    QStringList visible;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) visible << w->objectName();
    seen << (visible.isEmpty() ? line : line + "|shown: " + visible.join(','));
    if (whileShown) whileShown();
    if (answers_.empty())
      return box.buttons == Module1::Buttons::Ok ? Module1::vbOK : Module1::vbYes;
    const Module1::Answer a = answers_.front();
    answers_.pop_front();
    return a;
  });
}

FixedClock::FixedClock(const QDateTime& time) : current_(time) {
  Module1::setClock([this] {
    if (!queue_.empty()) {
      current_ = queue_.front();
      queue_.pop_front();
    }
    return current_;
  });
}
FixedClock::~FixedClock() {
  Module1::setClock({});
}

QList<QStringList> table(const TempStore& store) {
  QList<QStringList> out;
  for (const Row& r : store.rows())
    out << QStringList{r.name.value_or(""), r.type.value_or(""), r.content.value_or(""),
                       r.created.value_or(""), r.modified.value_or("")};
  return out;
}

QStringList names(const TempStore& store) {
  QStringList out;
  for (const QStringList& row : table(store)) out << row[0];
  return out;
}

QStringList treeTexts(const zulM& w) {
  QStringList out;
  for (const NodeInfo& n : w.treeNodes()) out << n.key + ':' + n.text;
  return out;
}

QStringList controlsOf(const QWidget* window) {
  QStringList out;
  for (const QWidget* c : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QRect r = c->geometry();
    out << c->objectName() + ' ' + c->metaObject()->className() +
               QString::asprintf(" %d,%d %dx%d", r.x(), r.y(), r.width(), r.height());
  }
  return out;
}

QStringList tabOrder(QWidget* first) {
  QStringList out;
  QWidget* w = first;
  do {
    if ((w->focusPolicy() & Qt::TabFocus) && w->parentWidget() == first->parentWidget())
      out << w->objectName();
    w = w->nextInFocusChain();
  } while (w != first);
  return out;
}

}  // namespace testsupport
