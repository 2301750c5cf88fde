#include "platform/extension/watch_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/posix/user_socket.h"
#include "platform/webext/native_messaging.h"

namespace vantrel::extension {

namespace {

// A browser that leaves this much of Vantrel's messages unread is not listening any more.
constexpr std::size_t kMaxUnsent = 16u << 20;
constexpr std::size_t kPrefix = sizeof(std::uint32_t);

struct Peer {
    posix::UniqueFd fd;
    std::string received;  // bytes of frames not yet whole
    std::string unsent;
    bool ending = false;
};

// The whole frames at the front of `buffer`, taken out of it. False when a frame is over the
// limit.
bool takeFrames(std::string& buffer, std::vector<std::string>& frames) {
    std::size_t at = 0;
    while (buffer.size() - at >= kPrefix) {
        std::uint32_t length = 0;
        std::memcpy(&length, buffer.data() + at, kPrefix);
        if (length > kMaxMessageFromBrowser) return false;
        if (buffer.size() - at - kPrefix < length) break;
        frames.emplace_back(buffer, at + kPrefix, length);
        at += kPrefix + length;
    }
    buffer.erase(0, at);
    return true;
}

}  // namespace

std::string watchSocketName() {
    return posix::nameForThisDisplay("watch");
}

// Shared by the main thread (sending, and whether the shell still exists) and the I/O thread.
struct WatchServer::State {
    EventLoop& loop;
    ExtensionShell* shell;  // null once the server is gone: posted work then does nothing
    std::optional<posix::UserSocketListener> listener;
    posix::UniqueFd wakeRead, wakeWrite;
    std::mutex mutex;
    std::map<ExtensionShell::Connection, Peer> peers;  // guarded by `mutex`
    bool stopping = false;                             // guarded by `mutex`
    ExtensionShell::Connection nextConnection = 1;

    State(EventLoop& l, ExtensionShell& s) : loop(l), shell(&s) {}

    void wake() { (void)!::write(wakeWrite.get(), "w", 1); }

    // From the main thread: one message for the browser of `id`.
    void queue(ExtensionShell::Connection id, const std::string& message) {
        std::lock_guard lock(mutex);
        auto peer = peers.find(id);
        if (peer == peers.end() || peer->second.ending) return;
        Peer& to = peer->second;
        if (to.unsent.size() + message.size() > kMaxUnsent) {
            to.ending = true;
            wake();
            return;
        }
        std::string frame = webext::frameNativeMessage(message);
        if (to.unsent.empty()) {
            // Nothing waits before it: sent from here at once, without waking the I/O thread, which
            // sends what the socket does not take now and sees any error.
            const ssize_t n = ::send(to.fd.get(), frame.data(), frame.size(), MSG_NOSIGNAL);
            if (n == ssize_t(frame.size())) return;
            if (n > 0) frame.erase(0, size_t(n));
        }
        to.unsent += frame;
        wake();
    }

    // Runs `work` on the main thread with the shell, unless the server has gone by then.
    template <typename Work>
    void toShell(const std::shared_ptr<State>& self, Work work) {
        loop.post([weak = std::weak_ptr<State>(self), work = std::move(work)] {
            if (auto state = weak.lock(); state && state->shell) work(*state->shell);
        });
    }
};

WatchServer::WatchServer(EventLoop& loop, ExtensionShell& shell, const std::string& name)
    : state_(std::make_shared<State>(loop, shell)) {
    state_->listener = posix::UserSocketListener::listen(name);
    if (!state_->listener) return;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw posix::UserSocketError("cannot make a pipe: " + std::string(std::strerror(errno)));
    }
    state_->wakeRead.reset(pipe[0]);
    state_->wakeWrite.reset(pipe[1]);
    thread_ = std::thread([state = state_] {
        const auto ended = [&](ExtensionShell::Connection id) {
            state->toShell(state, [id](ExtensionShell& s) { s.disconnected(id); });
        };
        char chunk[64 * 1024];
        for (;;) {
            std::vector<pollfd> waits = {{state->wakeRead.get(), POLLIN, 0},
                                         {state->listener->fd(), POLLIN, 0}};
            std::vector<ExtensionShell::Connection> ids;
            {
                std::lock_guard lock(state->mutex);
                if (state->stopping) return;
                for (auto& [id, peer] : state->peers) {
                    const short events = POLLIN | (peer.unsent.empty() ? 0 : POLLOUT);
                    waits.push_back({peer.fd.get(), events, 0});
                    ids.push_back(id);
                }
            }
            if (::poll(waits.data(), waits.size(), -1) < 0 && errno != EINTR) return;
            while (::read(state->wakeRead.get(), chunk, sizeof chunk) > 0) {
            }
            if (waits[1].revents & POLLIN) {
                while (auto fd = state->listener->accept()) {
                    const auto id = state->nextConnection++;
                    {
                        std::lock_guard lock(state->mutex);
                        state->peers[id].fd = std::move(fd);
                    }
                    std::weak_ptr<State> weak = state;
                    state->toShell(state, [id, weak](ExtensionShell& s) {
                        s.connected(id, [weak, id](const std::string& m) {
                            if (auto alive = weak.lock()) alive->queue(id, m);
                        });
                    });
                }
            }
            for (size_t i = 0; i < ids.size(); ++i) {
                const short revents = waits[i + 2].revents;
                std::vector<std::string> frames;
                bool end = false;
                {
                    std::lock_guard lock(state->mutex);
                    Peer& peer = state->peers[ids[i]];
                    end = peer.ending;
                    if (!end && (revents & POLLOUT)) {
                        const ssize_t n = ::send(peer.fd.get(), peer.unsent.data(),
                                                 peer.unsent.size(), MSG_NOSIGNAL);
                        if (n > 0) peer.unsent.erase(0, size_t(n));
                        if (n < 0 && errno != EAGAIN && errno != EINTR) end = true;
                    }
                    if (!end && (revents & (POLLIN | POLLHUP | POLLERR))) {
                        const ssize_t n = ::read(peer.fd.get(), chunk, sizeof chunk);
                        if (n > 0) {
                            peer.received.append(chunk, size_t(n));
                            end = !takeFrames(peer.received, frames);
                        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                            end = true;
                        }
                    }
                    if (end) state->peers.erase(ids[i]);
                }
                for (auto& frame : frames) {
                    state->toShell(state, [id = ids[i], frame = std::move(frame)](
                                              ExtensionShell& s) { s.received(id, frame); });
                }
                if (end) ended(ids[i]);
            }
        }
    });
}

WatchServer::~WatchServer() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->shell = nullptr;
    }
    if (thread_.joinable()) {
        state_->wake();
        thread_.join();
    }
}

bool WatchServer::listening() const {
    return state_->listener.has_value();
}

}  // namespace vantrel::extension
