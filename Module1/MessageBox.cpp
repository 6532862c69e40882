#include "MessageBox.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <utility>

#include "Texts.h"

namespace Module1 {
namespace {

BoxScript& boxScript() {
  static BoxScript script;
  return script;
}

// The box shown now, and whether it was dismissed.
struct ShownBox {
  QPointer<QMessageBox> box;  // null for a scripted one
  bool dismissed = false;
};
ShownBox* shownBox = nullptr;

void label(QMessageBox& box, QMessageBox::StandardButton which, const char* utf8Text) {
  QAbstractButton* button = box.button(which);
  button->setText(QString::fromUtf8(utf8Text));
  button->setIcon(QIcon());  // some desktop themes add pictures to standard buttons
}

// A real box: no icon, the caption as given, Chinese button texts whatever the system
// language, and above every window since the program's own windows are topmost.
Answer showBox(const BoxRequest& request) {
  QMessageBox box;
  shownBox->box = &box;
  box.setIcon(QMessageBox::NoIcon);
  box.setWindowTitle(request.caption);
  box.setTextFormat(Qt::PlainText);  // account texts may look like markup
  box.setText(request.text);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);

  if (request.buttons == Buttons::Ok) {
    box.setStandardButtons(QMessageBox::Ok);
    label(box, QMessageBox::Ok, texts::kOk);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return vbOK;
  }
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  label(box, QMessageBox::Yes, texts::kYes);
  label(box, QMessageBox::No, texts::kNo);
  box.setDefaultButton(request.defaultAnswer == vbNo ? QMessageBox::No : QMessageBox::Yes);
  // Closing the box or pressing Escape answers 否: nothing is done without a clear 是.
  box.setEscapeButton(QMessageBox::No);
  box.exec();
  return box.clickedButton() == box.button(QMessageBox::Yes) ? vbYes : vbNo;
}

}  // namespace

Answer MsgBox(QWidget* window, const BoxRequest& request) {
  const QPointer<QWidget> shownAgain = window;
  if (window) window->hide();
  ShownBox shown;
  ShownBox* const outer = std::exchange(shownBox, &shown);
  const Answer answer = boxScript() ? boxScript()(request) : showBox(request);
  shownBox = outer;
  if (shown.dismissed) return request.buttons == Buttons::Ok ? vbOK : vbNo;
  if (shownAgain) shownAgain->show();
  return answer;
}

Answer inform(QWidget* window, const char* utf8Text) {
  return MsgBox(window, {QString::fromUtf8(utf8Text), QString::fromUtf8(texts::kAppTitle),
                         Buttons::Ok, vbOK});
}

Answer ask(QWidget* window, const char* utf8Text) {
  return MsgBox(window, {QString::fromUtf8(utf8Text), QString::fromUtf8(texts::kQuestionCaption),
                         Buttons::YesNo, vbYes});
}

bool dismissBoxes() {
  if (!shownBox || shownBox->dismissed) return false;
  shownBox->dismissed = true;
  if (shownBox->box) shownBox->box->reject();
  return true;
}

void setMessageBoxScript(BoxScript script) {
  boxScript() = std::move(script);
}

}  // namespace Module1
