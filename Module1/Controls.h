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

// A selection as other programs want it on the clipboard: plain text only (Qt would add HTML),
// "\n" line breaks, no CR. A secret one is marked for clipboard managers to keep out of their
// history, and taken off the clipboard and the selection 30 s later if it is still there.
QMimeData* clipboardData(QString selection, bool secret);

// Takes a copy this program put on the clipboard or the selection off it, and forgets the
// copy kept to take it off later.
void forgetClipboard();

// A record box whose own copy (and the X11 selection) gives what clipboardData gives.
class PlainCopyTextEdit : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;
  void setSecret(bool secret) { secret_ = secret; }
  bool secret() const { return secret_; }

 protected:
  QMimeData* createMimeDataFromSelection() const override;

 private:
  bool secret_ = false;
};

// "Kelvarn" + "V" + major.minor.revision: the caption and the icon's tip.
QString productVersionText();

}  // namespace Module1
