#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace Module1 {

enum class Buttons { Ok, YesNo };
// Answer codes as the windows compare them.
enum Answer { vbOK = 1, vbYes = 6, vbNo = 7 };

struct BoxRequest {
  QString text;
  QString caption;
  Buttons buttons = Buttons::Ok;
  Answer defaultAnswer = vbOK;
};

// Shows a box the program's way: hide `window`, show the box (no icon; 确定 / 是 / 否) and
// wait for it, show `window` again, and only then return the answer.
Answer MsgBox(QWidget* window, const BoxRequest& box);
// An informational box: OK only, caption "Kelvarn".
Answer inform(QWidget* window, const char* utf8Text);
// A question: 是 and 否, caption "提示：", 是 as the default button.
Answer ask(QWidget* window, const char* utf8Text);

// Answers the box shown now, if any, as 否 (or 确定) and keeps the window it hid hidden: the
// store is being locked. False when no box is shown.
bool dismissBoxes();

// Test seam: while set, boxes are not shown; the script gets each request (the window is
// hidden at that moment) and returns the answer. An empty function restores real boxes.
using BoxScript = std::function<Answer(const BoxRequest&)>;
void setMessageBoxScript(BoxScript script);

}  // namespace Module1
