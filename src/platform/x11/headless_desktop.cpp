#include "platform/x11/headless_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "platform/x11/x11_keyboard.h"

namespace vantrel::x11 {

namespace {

// Events that xcb read while the main thread waited for a reply sit in its queue without waking
// poll(): the event thread looks at the queue at least this often.
constexpr int kQueueCheckMillis = 100;

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
    int fds[2];
    if (connection_ != nullptr && ::pipe2(fds, O_CLOEXEC) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
        reader_ = std::thread([this] { readEvents(); });
    }
}

HeadlessDesktop::~HeadlessDesktop() {
    if (reader_.joinable()) {
        const char stop = 0;
        (void)!::write(wakeWrite_, &stop, 1);
        reader_.join();
        ::close(wakeRead_);
        ::close(wakeWrite_);
    }
    // Releases the grabs while the connection is still there.
    keys_->keyboard.reset();
    if (connection_ != nullptr) xcb_disconnect(connection_);
}

void HeadlessDesktop::readEvents() {
    pollfd fds[2] = {{xcb_get_file_descriptor(connection_), POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    std::weak_ptr<Keys> keys = keys_;
    for (;;) {
        ::poll(fds, 2, kQueueCheckMillis);
        if (fds[1].revents != 0) return;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & 0x7f) == XCB_KEY_PRESS) {
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
        if (xcb_connection_has_error(connection_) != 0) return;  // the X server went away
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
