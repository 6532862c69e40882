#pragma once

class QWidget;

namespace Module1 {

// Keeps the window above all ordinary windows (before or after it is first shown).
void setTopmost(QWidget* window);
// Shows the window at its normal size and place, raised and active.
void restoreWindow(QWidget* window);
// Whenever the program hides the window and shows it again (the tray, a message box, the
// hand-over between the windows), it comes back where the user left it: window managers
// place a window that is shown again anew, as if it were new.
void keepPlace(QWidget* window);

}  // namespace Module1
