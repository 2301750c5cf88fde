#include "platform/x11/x11_keyboard.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>

#include "platform/desktop.h"

namespace vantrel::x11 {

namespace {

// Keysyms of the keys the hot keys need.
constexpr std::uint32_t kKeysymF1 = 0xffbe;
constexpr std::uint32_t kKeysymNumLock = 0xff7f;

std::optional<std::uint32_t> keysymOfVirtualKey(int keyCode) {
    if (keyCode >= 'A' && keyCode <= 'Z') return static_cast<std::uint32_t>(keyCode - 'A' + 'a');
    if ((keyCode >= '0' && keyCode <= '9') || keyCode == ' ') {
        return static_cast<std::uint32_t>(keyCode);
    }
    if (keyCode >= 112 && keyCode <= 135)
        return kKeysymF1 + static_cast<std::uint32_t>(keyCode - 112);
    return std::nullopt;
}

std::uint16_t x11Modifiers(int modifiers) {
    std::uint16_t mask = 0;
    if (modifiers & Desktop::kModAlt) mask |= XCB_MOD_MASK_1;
    if (modifiers & Desktop::kModControl) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & 4) mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & 8) mask |= XCB_MOD_MASK_4;
    return mask;
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

X11Keyboard::X11Keyboard(xcb_connection_t* connection) : connection_(connection) {
    if (connection_ != nullptr && xcb_connection_has_error(connection_) != 0) connection_ = nullptr;
    if (connection_ == nullptr) return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    // Another thread reads the events of `connection`, and with them the replies to this
    // thread's requests, handing each over: the key state is asked on a connection of its own.
    stateConnection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(stateConnection_) != 0) {
        xcb_disconnect(stateConnection_);
        stateConnection_ = nullptr;
    }
}

X11Keyboard::~X11Keyboard() {
    while (!grabs_.empty()) ungrab(grabs_.begin()->first);
    if (stateConnection_ != nullptr) xcb_disconnect(stateConnection_);
}

std::vector<std::uint8_t> X11Keyboard::keycodesOf(std::uint32_t keysym) const {
    std::vector<std::uint8_t> result;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
    if (symbols == nullptr) return result;
    std::unique_ptr<xcb_keycode_t, FreeDeleter> codes(xcb_key_symbols_get_keycode(symbols, keysym));
    for (const xcb_keycode_t* c = codes.get(); c != nullptr && *c != XCB_NO_SYMBOL; ++c) {
        result.push_back(*c);
    }
    xcb_key_symbols_free(symbols);
    return result;
}

std::uint16_t X11Keyboard::numLockMask() const {
    const std::vector<std::uint8_t> numLock = keycodesOf(kKeysymNumLock);
    std::unique_ptr<xcb_get_modifier_mapping_reply_t, FreeDeleter> reply(
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_),
                                       nullptr));
    if (!reply || numLock.empty()) return 0;
    const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            for (std::uint8_t code : numLock) {
                if (map[modifier * perModifier + i] == code) {
                    return static_cast<std::uint16_t>(1u << modifier);
                }
            }
        }
    }
    return 0;
}

bool X11Keyboard::grab(int id, int modifiers, int keyCode) {
    ungrab(id);
    if (connection_ == nullptr) return false;
    const std::optional<std::uint32_t> keysym = keysymOfVirtualKey(keyCode);
    if (!keysym) return false;
    const std::vector<std::uint8_t> codes = keycodesOf(*keysym);
    if (codes.empty()) return false;
    const std::uint16_t mask = x11Modifiers(modifiers);
    const std::uint16_t numLock = numLockMask();
    const std::uint16_t variants[] = {0, XCB_MOD_MASK_LOCK, numLock,
                                      static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock)};
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t extra : variants) {
        cookies.push_back(xcb_grab_key_checked(connection_, 1, root_, mask | extra, codes.front(),
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    bool ok = true;
    for (xcb_void_cookie_t cookie : cookies) {
        std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(
            xcb_request_check(connection_, cookie));
        if (error) ok = false;  // BadAccess: another client holds it
    }
    grabs_[id] = {codes.front(), mask};
    if (!ok) ungrab(id);
    return ok;
}

void X11Keyboard::ungrab(int id) {
    auto it = grabs_.find(id);
    if (it == grabs_.end()) return;
    const std::uint16_t numLock = numLockMask();
    const std::uint16_t variants[] = {0, XCB_MOD_MASK_LOCK, numLock,
                                      static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock)};
    for (std::uint16_t extra : variants) {
        xcb_ungrab_key(connection_, it->second.keycode, root_, it->second.modifiers | extra);
    }
    xcb_flush(connection_);
    grabs_.erase(it);
}

std::optional<int> X11Keyboard::hotKeyOf(const void* keyPressEvent) const {
    const auto* event = static_cast<const xcb_key_press_event_t*>(keyPressEvent);
    const std::uint16_t ignored = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLockMask());
    const std::uint16_t state = event->state & static_cast<std::uint16_t>(~ignored) & 0xff;
    for (const auto& [id, grab] : grabs_) {
        if (grab.keycode == event->detail && grab.modifiers == state) return id;
    }
    return std::nullopt;
}

bool X11Keyboard::controlKeyDown() const {
    if (connection_ == nullptr) return false;
    // The modifier state the server keeps: one round trip, and whichever keys the user's
    // layout binds to Control count.
    xcb_connection_t* const asked = stateConnection_ != nullptr ? stateConnection_ : connection_;
    std::unique_ptr<xcb_query_pointer_reply_t, FreeDeleter> pointer(
        xcb_query_pointer_reply(asked, xcb_query_pointer(asked, root_), nullptr));
    return pointer && (pointer->mask & XCB_MOD_MASK_CONTROL) != 0;
}

}  // namespace vantrel::x11
