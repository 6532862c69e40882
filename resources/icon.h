#pragma once

#include <QIcon>

// The program icon: window icon of the main window and the notification-area icon.
QIcon programIcon();
