#pragma once

#include <functional>

class QObject;

namespace Module1 {

// The XEmbed notification area of the X screen the program shows on: the owner of the
// selection _NET_SYSTEM_TRAY_S<screen>, asked through the application's own X connection
// without Qt's tray code. Off X11 there is none.
bool xembedTrayPresent();

// While `context` lives, calls `appeared` whenever one announces itself, as a tray that starts
// later does (the MANAGER message on the root window); costs nothing meanwhile. Off X11 there
// is nothing to hear.
void onXEmbedTrayAppeared(QObject* context, std::function<void()> appeared);

}  // namespace Module1
