#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::webext {

// The browsers' native-messaging framing on a pipe: each message is JSON text preceded by its
// length in bytes as a 32-bit number in the machine's own byte order.

// The most a browser accepts from a host in one message.
constexpr std::size_t kMaxMessageFromHost = 1024 * 1024;

enum class ReadResult {
    Message,    // a whole message
    Closed,     // the pipe ended before a message began
    Truncated,  // the pipe ended inside the length or the text
    TooLong,    // the length is over the reader's limit; nothing of the text was read
    TimedOut,   // no whole message within the time given
    Failed,     // the pipe cannot be read
};

struct NativeMessage {
    ReadResult result = ReadResult::Failed;
    std::string text;  // the JSON text when `result` is Message
};

// Reads one message from `fd`, waiting at most `timeout` for all of it. A length over `limit`
// is refused before any of its text is read.
NativeMessage readNativeMessage(int fd, std::size_t limit, std::chrono::milliseconds timeout);

// The message with its length in front.
std::string frameNativeMessage(std::string_view json);

// Writes one message to `fd`. False when it is longer than a browser accepts or cannot be
// written whole.
bool writeNativeMessage(int fd, std::string_view json);

// Copies bytes both ways, from `browserIn` to `peer` and from `peer` to `browserOut`, until
// either side ends or fails. Every descriptor is used blocking.
void relayBothWays(int browserIn, int browserOut, int peer);

}  // namespace vantrel::webext
