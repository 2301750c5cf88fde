#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

struct xcb_connection_t;

namespace vantrel::x11 {

// Global hot keys and the keyboard state of an X11 display, through xcb. A null connection
// (no X11 display, as under the offscreen platform) makes every grab fail and no key held.
class X11Keyboard {
  public:
    explicit X11Keyboard(xcb_connection_t* connection);
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    // Grabs the key on the root window with the desktop's modifier bits (CTRL, ALT, SHIFT, WIN),
    // also with CapsLock and NumLock on. `keyCode` is a virtual-key code: 'A'..'Z', '0'..'9',
    // space, F1..F24. False when the key is unknown or another client holds the combination.
    bool grab(int id, int modifiers, int keyCode);
    void ungrab(int id);
    // The hot key a key-press event (xcb_key_press_event_t) stands for.
    std::optional<int> hotKeyOf(const void* keyPressEvent) const;
    bool controlKeyDown() const;
    bool connected() const { return connection_ != nullptr; }

  private:
    struct Grab {
        std::uint8_t keycode;
        std::uint16_t modifiers;
    };

    std::uint16_t numLockMask() const;
    std::vector<std::uint8_t> keycodesOf(std::uint32_t keysym) const;

    xcb_connection_t* connection_;
    xcb_connection_t* stateConnection_ = nullptr;  // owned; null when it could not be had
    std::uint32_t root_ = 0;
    std::map<int, Grab> grabs_;
};

}  // namespace vantrel::x11
