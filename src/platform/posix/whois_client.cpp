#include "platform/posix/whois_client.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace vantrel::posix {

namespace {

struct AddressListCleanup {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

class Socket {
  public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

void fail(WhoisResult& result, std::string why) {
    if (result.error.empty()) result.error = std::move(why);
}

}  // namespace

TIdWhois::Wait TIdWhois::waitFor(int fd, short events, std::chrono::milliseconds limit) {
    using std::chrono::milliseconds;
    const auto left =
        std::chrono::duration_cast<milliseconds>(deadline_ - std::chrono::steady_clock::now());
    const auto wait = std::clamp(std::min(limit, left), milliseconds(0), milliseconds(limit));
    pollfd polled[2] = {{fd, events, 0}, {stopFd_, POLLIN, 0}};
    int ready = 0;
    do {
        ready = ::poll(polled, 2, int(wait.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return Wait::Failed;
    if (polled[1].revents != 0) return Wait::Stopped;
    if (ready == 0) return Wait::TimedOut;
    return Wait::Ready;
}

int TIdWhois::connectTo(const WhoisRequest& request, WhoisResult& result) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(request.port);
    if (const int code = ::getaddrinfo(request.host.c_str(), port.c_str(), &hints, &found)) {
        fail(result, std::string("cannot resolve ") + request.host + ": " + ::gai_strerror(code));
        return -1;
    }
    std::unique_ptr<addrinfo, AddressListCleanup> addresses(found);
    for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
        Socket socket(::socket(at->ai_family, at->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                               at->ai_protocol));
        if (socket.get() < 0) continue;
        if (::connect(socket.get(), at->ai_addr, at->ai_addrlen) != 0 && errno != EINPROGRESS) {
            fail(result, std::string("cannot connect: ") + std::strerror(errno));
            continue;
        }
        const Wait wait = waitFor(socket.get(), POLLOUT, request.waitLimit);
        if (wait == Wait::Stopped) {
            fail(result, "aborted");
            return -1;
        }
        if (wait == Wait::TimedOut) {
            fail(result, "connect timed out");
            continue;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (wait == Wait::Failed ||
            ::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            fail(result, std::string("cannot connect: ") + std::strerror(error));
            continue;
        }
        result.error.clear();
        return socket.release();
    }
    return -1;
}

bool TIdWhois::sendQuery(int fd, const std::string& line, const WhoisRequest& request,
                         WhoisResult& result) {
    size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t count = ::send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += size_t(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            fail(result, std::string("cannot send: ") + std::strerror(errno));
            return false;
        }
        const Wait wait = waitFor(fd, POLLOUT, request.waitLimit);
        if (wait != Wait::Ready) {
            fail(result, wait == Wait::Stopped ? "aborted" : "cannot send");
            return false;
        }
    }
    return true;
}

void TIdWhois::readAnswer(int fd, const WhoisRequest& request, WhoisResult& result) {
    char buffer[16384];
    for (;;) {
        const Wait wait = waitFor(fd, POLLIN, request.waitLimit);
        if (wait == Wait::Stopped) return fail(result, "aborted");
        if (wait == Wait::TimedOut) return fail(result, "the server went silent");
        if (wait == Wait::Failed) return fail(result, "cannot wait for the answer");
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count == 0) {
            result.completed = true;
            return;
        }
        if (count < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return fail(result, std::string("cannot read: ") + std::strerror(errno));
        }
        if (std::int64_t(result.answer.size()) + count > request.maxAnswerBytes) {
            result.answer.clear();
            return fail(result, "answer too large");
        }
        result.answer.append(buffer, size_t(count));
    }
}

WhoisResult TIdWhois::WhoIs(const WhoisRequest& request) {
    WhoisResult result;
    deadline_ = std::chrono::steady_clock::now() + total_;
    if (request.host.empty()) {
        fail(result, "unusable server");
        return result;
    }
    if (request.query.find_first_of("\r\n") != std::string::npos) {
        fail(result, "line break in the query");
        return result;
    }
    const Socket socket(connectTo(request, result));
    if (socket.get() < 0) return result;
    if (sendQuery(socket.get(), request.query + "\r\n", request, result)) {
        readAnswer(socket.get(), request, result);
    }
    if (!result.completed) result.answer.clear();
    return result;
}

}  // namespace vantrel::posix
