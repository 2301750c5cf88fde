#include "platform/chromium/x11_active_window.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace vantrel::chromium {

X11ActiveWindow::X11ActiveWindow() {
    if (!std::getenv("DISPLAY")) return;
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    root_ = screens.data ? screens.data->root : 0;
    activeWindowAtom_ = atom("_NET_ACTIVE_WINDOW");
    pidAtom_ = atom("_NET_WM_PID");
}

X11ActiveWindow::~X11ActiveWindow() {
    if (connection_) xcb_disconnect(connection_);
}

unsigned X11ActiveWindow::atom(const char* name) {
    auto cookie = xcb_intern_atom(connection_, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
    const unsigned value = reply ? reply->atom : 0;
    std::free(reply);
    return value;
}

bool X11ActiveWindow::readCardinal(unsigned window, unsigned property, unsigned type,
                                   unsigned& value) {
    auto cookie = xcb_get_property(connection_, 0, window, property, type, 0, 1);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
    const bool ok = reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4;
    if (ok) std::memcpy(&value, xcb_get_property_value(reply), 4);
    std::free(reply);
    return ok;
}

unsigned X11ActiveWindow::window() {
    if (!connection_ || !root_ || !activeWindowAtom_) return 0;
    unsigned window = 0;
    return readCardinal(root_, activeWindowAtom_, XCB_ATOM_WINDOW, window) ? window : 0;
}

pid_t X11ActiveWindow::ownerPid(unsigned window) {
    unsigned pid = 0;
    if (!connection_ || !window || !pidAtom_) return 0;
    return readCardinal(window, pidAtom_, XCB_ATOM_CARDINAL, pid) ? pid_t(pid) : 0;
}

}  // namespace vantrel::chromium
