// The frame an X11 window manager puts around a window, asked before the
// window is first shown, so that outer bounds (the layout file's) can be
// applied exactly from the start.
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QMargins>
#include <QThread>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "toolkit/toolkit_qt.h"

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
  const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// `count` 32-bit values of a property, or nothing where it is missing or shorter.
std::optional<std::vector<std::uint32_t>> Property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name,
                                                   xcb_atom_t type, std::uint32_t count) {
  const Reply<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, count), nullptr));
  if (!reply || reply->type != type || reply->format != 32 || reply->value_len < count) return std::nullopt;
  const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  return std::vector<std::uint32_t>(values, values + count);
}

struct WindowManager {
  xcb_connection_t* connection = nullptr;
  xcb_window_t root = 0;
  xcb_atom_t request = XCB_ATOM_NONE, extents = XCB_ATOM_NONE;
};

// A running window manager that estimates frames on request, as the desktop
// conventions let it; asked once per process. Its check window proves it
// runs: a manager that went leaves its list of features behind.
const WindowManager* FrameEstimatingWindowManager() {
  static const std::optional<WindowManager> manager = []() -> std::optional<WindowManager> {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return std::nullopt;
    WindowManager wm;
    wm.connection = x11->connection();
    wm.root = xcb_setup_roots_iterator(xcb_get_setup(wm.connection)).data->root;
    const xcb_atom_t check = InternAtom(wm.connection, "_NET_SUPPORTING_WM_CHECK");
    const auto checkWindow = Property(wm.connection, wm.root, check, XCB_ATOM_WINDOW, 1);
    if (!checkWindow) return std::nullopt;
    const auto confirmed = Property(wm.connection, (*checkWindow)[0], check, XCB_ATOM_WINDOW, 1);
    if (!confirmed || *confirmed != *checkWindow) return std::nullopt;
    wm.request = InternAtom(wm.connection, "_NET_REQUEST_FRAME_EXTENTS");
    wm.extents = InternAtom(wm.connection, "_NET_FRAME_EXTENTS");
    const Reply<xcb_get_property_reply_t> supported(xcb_get_property_reply(
        wm.connection,
        xcb_get_property(wm.connection, 0, wm.root, InternAtom(wm.connection, "_NET_SUPPORTED"),
                         XCB_ATOM_ATOM, 0, 4096),
        nullptr));
    if (!supported || supported->format != 32) return std::nullopt;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(supported.get()));
    const int n = xcb_get_property_value_length(supported.get()) / 4;
    bool canRequest = false, tellsExtents = false;
    for (int i = 0; i < n; ++i) {
      canRequest |= atoms[i] == wm.request;
      tellsExtents |= atoms[i] == wm.extents;
    }
    if (!canRequest || !tellsExtents) return std::nullopt;
    return wm;
  }();
  return manager ? &*manager : nullptr;
}

}  // namespace

std::optional<QMargins> AskFrameExtents(QWidget* window) {
  const WindowManager* wm = FrameEstimatingWindowManager();
  if (!wm) return std::nullopt;
  const auto id = static_cast<xcb_window_t>(window->winId());
  // An answer from before (for other size limits, say) must not pass for this one.
  xcb_delete_property(wm->connection, id, wm->extents);
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = id;
  message.type = wm->request;
  xcb_send_event(wm->connection, 0, wm->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(wm->connection);
  // A manager answers within a few milliseconds; one that does not is not waited for long.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  do {
    if (const auto e = Property(wm->connection, id, wm->extents, XCB_ATOM_CARDINAL, 4)) {
      // Left, right, top, bottom in device pixels; Qt's margins are logical.
      const qreal ratio = window->devicePixelRatioF();
      const auto logical = [ratio](std::uint32_t v) { return qRound(v / ratio); };
      return QMargins(logical((*e)[0]), logical((*e)[2]), logical((*e)[1]), logical((*e)[3]));
    }
    QThread::usleep(500);
  } while (std::chrono::steady_clock::now() < giveUp);
  return std::nullopt;
}
