#pragma once

class QWidget;

namespace Module1 {

// Keeps the window above all ordinary windows (before or after it is first shown).
void setTopmost(QWidget* window);
// Shows the window at its normal size and place, raised and active.
void restoreWindow(QWidget* window);

}  // namespace Module1
