#pragma once

#include <QColor>
#include <QFont>
#include <QPlainTextEdit>
#include <QString>

class QPushButton;

namespace Module1 {

// Registers substitutes that Debian has for the Windows fonts the windows ask for by name.
void registerFontSubstitutes();
// The font asked for by its Windows name ("微软雅黑", "宋体") at a point size.
QFont namedFont(const char* utf8Family, double pointSize);

// A button drawn in its own background colour.
void colourButton(QPushButton* button, const QColor& colour);

// A multi-line box's text exactly as the user sees it (no character replaced).
QString boxText(const QPlainTextEdit* box);
// Puts text into a multi-line box; CR LF and lone CR show as plain line breaks.
void setBoxText(QPlainTextEdit* box, const QString& text);

// A selection as other programs want it on the clipboard: "\n" line breaks, no CR.
QString clipboardText(QString selection);

// A record box whose own copy puts plain text only on the clipboard (Qt would add HTML).
class PlainCopyTextEdit : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  QMimeData* createMimeDataFromSelection() const override;
};

// "Kelvarn" + "V" + major.minor.revision: the caption and the icon's tip.
QString productVersionText();

}  // namespace Module1
