#include "Controls.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>

#include "Texts.h"
#include "version.h"

namespace Module1 {

void registerFontSubstitutes() {
  QFont::insertSubstitutions(QStringLiteral("微软雅黑"), {QStringLiteral("WenQuanYi Micro Hei"),
                                                          QStringLiteral("Noto Sans CJK SC")});
  QFont::insertSubstitutions(QStringLiteral("宋体"), {QStringLiteral("Noto Serif CJK SC"),
                                                      QStringLiteral("WenQuanYi Micro Hei"),
                                                      QStringLiteral("Noto Sans CJK SC")});
}

QFont namedFont(const char* utf8Family, double pointSize) {
  QFont font(QString::fromUtf8(utf8Family));
  font.setPointSizeF(pointSize);
  font.setWeight(QFont::Normal);
  return font;
}

void colourButton(QPushButton* button, const QColor& colour) {
  // Without a border of its own the style paints its gradient over the colour; with one it
  // draws no focus mark, so the focus gets a black border.
  button->setStyleSheet(
      QStringLiteral("QPushButton { background-color: %1; border: 1px solid %2; }"
                     "QPushButton:focus { border-color: black; }"
                     "QPushButton:pressed { background-color: %3; }")
          .arg(colour.name(), colour.darker(170).name(), colour.darker(115).name()));
}

QString boxText(const QPlainTextEdit* box) {
  // toPlainText() would turn non-breaking spaces into plain ones.
  QString text = box->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return text;
}

void setBoxText(QPlainTextEdit* box, const QString& text) {
  // The box starts a new line at every CR as well as every LF: CR LF would count twice.
  QString lines = text;
  lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  box->setPlainText(lines);
}

QString productVersionText() {
  return QString::fromUtf8(texts::kProductName) + QString::fromUtf8(texts::kVersionMark) +
         QStringLiteral("%1.%2.%3")
             .arg(version::kMajor)
             .arg(version::kMinor)
             .arg(version::kRevision);
}

namespace {

QString& lastSecretCopy() {
  static QString copy;
  return copy;
}

// Where the last secret copy is still on the clipboard or the selection, it is taken off.
void takeSecretCopyOff() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  for (const QClipboard::Mode mode : {QClipboard::Clipboard, QClipboard::Selection}) {
    if (!lastSecretCopy().isEmpty() && clipboard->text(mode) == lastSecretCopy())
      clipboard->clear(mode);
  }
  lastSecretCopy().clear();
}

QTimer* clipboardForget() {
  static QTimer* const forget = [] {
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setObjectName(QStringLiteral("clipboardForget"));
    timer->setSingleShot(true);
    timer->setInterval(30000);
    QObject::connect(timer, &QTimer::timeout, takeSecretCopyOff);
    return timer;
  }();
  return forget;
}

}  // namespace

QMimeData* clipboardData(QString selection, bool secret) {
  selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  selection.replace(QChar::LineSeparator, QLatin1Char('\n'));
  selection.remove(QLatin1Char('\r'));
  auto* data = new QMimeData;
  data->setText(selection);
  if (!secret) return data;
  data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
  lastSecretCopy() = selection;
  clipboardForget()->start();
  return data;
}

void forgetClipboard() {
  clipboardForget()->stop();
  takeSecretCopyOff();
}

QMimeData* PlainCopyTextEdit::createMimeDataFromSelection() const {
  return clipboardData(textCursor().selectedText(), secret_);
}

}  // namespace Module1
