#include "platform/chromium/framed_transport.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/browser.h"

namespace vantrel::chromium {

namespace {

// Writes to a pipe or socket whose reader may have gone without raising SIGPIPE: the signal
// is held back for this thread while writing, and one raised by this write is taken off again,
// so the caller sees EPIPE and the process keeps its handlers.
ssize_t writeWithoutSigpipe(int fd, const char* data, size_t size) {
    sigset_t pipeOnly, previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    const bool alreadyPending = sigismember(&pendingBefore, SIGPIPE) == 1;
    const ssize_t n = ::write(fd, data, size);
    const int writeError = errno;
    if (n < 0 && writeError == EPIPE && !alreadyPending) {
        const timespec noWait{0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &noWait) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = writeError;
    return n;
}

}  // namespace

FramedTransport::FramedTransport(posix::UniqueFd in, posix::UniqueFd out)
    : in_(std::move(in)), out_(std::move(out)) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw BrowserError(std::string("pipe: ") + strerror(errno));
    wakeRead_.reset(fds[0]);
    wakeWrite_.reset(fds[1]);
}

FramedTransport::~FramedTransport() {
    close();
}

bool FramedTransport::waitFor(int fd, short events) {
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {wakeRead_.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        return fds[1].revents == 0;
    }
}

std::optional<std::string> FramedTransport::read() {
    char buffer[65536];
    for (;;) {
        if (auto message = frames_.next()) return message;
        if (!waitFor(in_.get(), POLLIN)) return std::nullopt;
        const ssize_t n = ::read(in_.get(), buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return std::nullopt;
        frames_.append(buffer, size_t(n));
    }
}

bool FramedTransport::send(const std::string& message) {
    if (!out_) return false;
    const std::string framed = MessageFrames::framed(message);
    size_t done = 0;
    while (done < framed.size()) {
        const ssize_t n =
            writeWithoutSigpipe(out_.get(), framed.data() + done, framed.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            if (!waitFor(out_.get(), POLLOUT)) return false;
            continue;
        }
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

void FramedTransport::close() {
    if (out_) {
        // A socket's other end must see the end although the reading descriptor stays open.
        ::shutdown(out_.get(), SHUT_WR);
        out_.reset();
    }
    if (wakeWrite_) {
        const char byte = 0;
        [[maybe_unused]] const auto n = ::write(wakeWrite_.get(), &byte, 1);
    }
}

}  // namespace vantrel::chromium
