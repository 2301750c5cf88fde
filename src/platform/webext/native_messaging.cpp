#include "platform/webext/native_messaging.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace vantrel::webext {

namespace {

using Clock = std::chrono::steady_clock;

enum class Fill { Full, Ended, TimedOut, Failed };

// Reads exactly `size` bytes into `out` before `deadline`; `got` counts what arrived.
Fill readExactly(int fd, char* out, std::size_t size, Clock::time_point deadline,
                 std::size_t& got) {
    got = 0;
    while (got < size) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return Fill::TimedOut;
        pollfd waitFor{fd, POLLIN, 0};
        const int ready = ::poll(&waitFor, 1, int(left.count()));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return Fill::Failed;
        }
        if (ready == 0) return Fill::TimedOut;
        const ssize_t n = ::read(fd, out + got, size - got);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return Fill::Failed;
        }
        if (n == 0) return Fill::Ended;
        got += std::size_t(n);
    }
    return Fill::Full;
}

ReadResult failureOf(Fill fill, bool begun) {
    switch (fill) {
        case Fill::Ended:
            return begun ? ReadResult::Truncated : ReadResult::Closed;
        case Fill::TimedOut:
            return ReadResult::TimedOut;
        default:
            return ReadResult::Failed;
    }
}

bool writeAll(int fd, std::string_view bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += std::size_t(n);
    }
    return true;
}

}  // namespace

NativeMessage readNativeMessage(int fd, std::size_t limit, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    char prefix[sizeof(std::uint32_t)];
    std::size_t got = 0;
    Fill fill = readExactly(fd, prefix, sizeof prefix, deadline, got);
    if (fill != Fill::Full) return {failureOf(fill, got > 0), {}};
    std::uint32_t length = 0;
    std::memcpy(&length, prefix, sizeof length);
    if (length > limit) return {ReadResult::TooLong, {}};
    NativeMessage message{ReadResult::Message, std::string(length, '\0')};
    fill = readExactly(fd, message.text.data(), length, deadline, got);
    if (fill != Fill::Full) return {failureOf(fill, true), {}};
    return message;
}

std::string frameNativeMessage(std::string_view json) {
    const auto length = std::uint32_t(json.size());
    std::string framed(sizeof length, '\0');
    std::memcpy(framed.data(), &length, sizeof length);
    framed.append(json);
    return framed;
}

bool writeNativeMessage(int fd, std::string_view json) {
    if (json.size() > kMaxMessageFromHost) return false;
    return writeAll(fd, frameNativeMessage(json));
}

void relayBothWays(int browserIn, int browserOut, int peer) {
    char chunk[64 * 1024];
    pollfd waits[] = {{browserIn, POLLIN, 0}, {peer, POLLIN, 0}};
    for (;;) {
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        for (int side = 0; side < 2; ++side) {
            if (!waits[side].revents) continue;
            const ssize_t n = ::read(waits[side].fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            if (!writeAll(side == 0 ? peer : browserOut, std::string_view(chunk, size_t(n))))
                return;
        }
    }
}

}  // namespace vantrel::webext
