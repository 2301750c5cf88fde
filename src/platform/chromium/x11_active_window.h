#pragma once

#include <sys/types.h>

#include <memory>

struct xcb_connection_t;

namespace vantrel::chromium {

// The X11 window in front (the window manager's _NET_ACTIVE_WINDOW) and the process that owns
// it (_NET_WM_PID). Two short round trips to the X server, never to the browser.
class X11ActiveWindow {
  public:
    // Connects to $DISPLAY; without one every answer is 0.
    X11ActiveWindow();
    ~X11ActiveWindow();
    X11ActiveWindow(const X11ActiveWindow&) = delete;
    X11ActiveWindow& operator=(const X11ActiveWindow&) = delete;

    bool connected() const { return connection_ != nullptr; }
    // The active window; 0 when there is none.
    unsigned window();
    // The process id of `window`; 0 when it does not say.
    pid_t ownerPid(unsigned window);

  private:
    unsigned atom(const char* name);
    bool readCardinal(unsigned window, unsigned property, unsigned type, unsigned& value);

    xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
    unsigned activeWindowAtom_ = 0;
    unsigned pidAtom_ = 0;
};

}  // namespace vantrel::chromium
