#include "XEmbedTray.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <cstdlib>
#include <utility>

namespace Module1 {
namespace {

xcb_connection_t* connection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* x, const QByteArray& name) {
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(x, xcb_intern_atom(x, false, name.size(), name.constData()), nullptr);
  const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(reply);
  return found;
}

// Named after the screen that DISPLAY names, the one Qt opens.
xcb_atom_t trayAtom(xcb_connection_t* x) {
  static const xcb_atom_t tray = [x] {
    char* host = nullptr;
    int display = 0, screen = 0;
    xcb_parse_display(nullptr, &host, &display, &screen);
    std::free(host);
    return atom(x, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen));
  }();
  return tray;
}

// Qt's X connection asks for the root window's client messages: a new tray's MANAGER message
// passes through here on its way to Qt.
class Announcements : public QObject, public QAbstractNativeEventFilter {
 public:
  Announcements(QObject* context, xcb_connection_t* x, std::function<void()> appeared)
      : QObject(context),
        manager_(atom(x, "MANAGER")),
        tray_(trayAtom(x)),
        appeared_(std::move(appeared)) {
    qGuiApp->installNativeEventFilter(this);
  }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    const auto* event = static_cast<const xcb_client_message_event_t*>(message);
    if (type == "xcb_generic_event_t" && (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
        event->type == manager_ && event->data.data32[1] == tray_)
      appeared_();
    return false;
  }

 private:
  const xcb_atom_t manager_, tray_;
  const std::function<void()> appeared_;
};

}  // namespace

bool xembedTrayPresent() {
  xcb_connection_t* x = connection();
  if (!x) return false;
  xcb_get_selection_owner_reply_t* owner =
      xcb_get_selection_owner_reply(x, xcb_get_selection_owner(x, trayAtom(x)), nullptr);
  const bool present = owner && owner->owner != XCB_NONE;
  std::free(owner);
  return present;
}

void onXEmbedTrayAppeared(QObject* context, std::function<void()> appeared) {
  if (xcb_connection_t* x = connection()) new Announcements(context, x, std::move(appeared));
}

}  // namespace Module1
