#include "platform/x11/headless_desktop.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "platform/x11/x11_keyboard.h"

namespace vantrel::x11 {

namespace {

// Message texts use "\r" as their line break.
std::string printable(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            result += text[i];
        } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
            result += '\n';
        }
    }
    return result;
}

}  // namespace

HeadlessDesktop::HeadlessDesktop(EventLoop& loop, std::ostream& messages)
    : loop_(loop), messages_(messages), keys_(std::make_shared<Keys>()) {
    if (std::getenv("DISPLAY") != nullptr) {
        connection_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection_) != 0) {
            xcb_disconnect(connection_);
            connection_ = nullptr;
        }
    }
    keys_->keyboard = std::make_unique<X11Keyboard>(connection_);
    if (connection_ != nullptr) {
        // The event thread's stop message goes to a window of this client's own.
        stopWindow_ = xcb_generate_id(connection_);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, stopWindow_, screen->root, 0, 0, 1, 1,
                          0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_flush(connection_);
        reader_ = std::thread([this] { readEvents(); });
    }
}

HeadlessDesktop::~HeadlessDesktop() {
    if (reader_.joinable()) {
        xcb_client_message_event_t stop{};
        stop.response_type = XCB_CLIENT_MESSAGE;
        stop.format = 32;
        stop.window = stopWindow_;
        // With no event mask, the server sends the event to the window's creator: this client.
        xcb_send_event(connection_, 0, stopWindow_, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&stop));
        xcb_flush(connection_);
        reader_.join();
    }
    // Releases the grabs while the connection is still there.
    keys_->keyboard.reset();
    if (connection_ != nullptr) xcb_disconnect(connection_);
}

// Waits inside xcb rather than in poll(): while the main thread waits for a reply, xcb hands
// this thread the events it reads, and the socket's readiness is not this thread's to watch (it
// would wake over and over for the main thread's reply, and keep xcb's lock from it).
void HeadlessDesktop::readEvents() {
    std::weak_ptr<Keys> keys = keys_;
    // Null once the X server has gone away.
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection_)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CLIENT_MESSAGE &&
            reinterpret_cast<xcb_client_message_event_t*>(event)->window == stopWindow_) {
            std::free(event);
            return;
        }
        if (type == XCB_KEY_PRESS) {
            xcb_key_press_event_t press;
            std::memcpy(&press, event, sizeof press);
            // The grabs belong to the main thread: the key is matched there.
            loop_.post([keys, press] {
                const auto alive = keys.lock();
                if (!alive) return;
                const std::optional<int> id = alive->keyboard->hotKeyOf(&press);
                if (id && alive->handler) alive->handler(*id);
            });
        }
        std::free(event);
    }
}

void HeadlessDesktop::setForegroundWindowSource(std::function<WindowHandle()> source) {
    foreground_ = std::move(source);
}

void HeadlessDesktop::setHotKeyHandler(std::function<void(int)> handler) {
    keys_->handler = std::move(handler);
}

bool HeadlessDesktop::hasX11() const {
    return connection_ != nullptr;
}

WindowHandle HeadlessDesktop::foregroundWindow() {
    return foreground_ ? foreground_() : 0;
}

bool HeadlessDesktop::controlKeyDown() {
    return keys_->keyboard->controlKeyDown();
}

int HeadlessDesktop::addAtom(const std::string& name) {
    auto [it, added] = atoms_.emplace(name, static_cast<int>(atoms_.size()) + 1);
    return it->second;
}

bool HeadlessDesktop::registerHotKey(int id, int modifiers, int keyCode) {
    return keys_->keyboard->grab(id, modifiers, keyCode);
}

void HeadlessDesktop::unregisterHotKey(int id) {
    keys_->keyboard->ungrab(id);
}

bool HeadlessDesktop::trayAdd(TrayIcon, const std::string&) {
    return false;
}

bool HeadlessDesktop::trayModify(TrayIcon) {
    return false;
}

bool HeadlessDesktop::traySetTip(const std::string& tip) {
    messages_ << tip << std::endl;
    return false;
}

void HeadlessDesktop::trayDelete() {}

void HeadlessDesktop::playSoundFile(const std::string&) {}

void HeadlessDesktop::playBuiltInSound() {}

std::optional<std::string> HeadlessDesktop::chooseWaveFile(const std::string&) {
    return std::nullopt;
}

void HeadlessDesktop::openUrl(const std::string& url) {
    messages_ << "open " << url << std::endl;
}

MessageBoxAnswer HeadlessDesktop::messageBox(const std::string& text, const std::string& caption,
                                             MessageBoxKind kind) {
    messages_ << printable(caption) << ": " << printable(text) << std::endl;
    // Nobody can answer: a question gets the answer that changes nothing.
    switch (kind) {
        case MessageBoxKind::Error:
            ++errorsShown_;
            return MessageBoxAnswer::Ok;
        case MessageBoxKind::Question:
            return MessageBoxAnswer::No;
        case MessageBoxKind::Confirm:
        case MessageBoxKind::ConfirmDefaultOk:
            return MessageBoxAnswer::Cancel;
        case MessageBoxKind::Information:
            break;
    }
    return MessageBoxAnswer::Ok;
}

}  // namespace vantrel::x11
