#pragma once

#include "platform/chromium/cdp_transport.h"
#include "platform/chromium/message_frames.h"
#include "platform/posix/unique_fd.h"

namespace vantrel::chromium {

// DevTools messages ended by NUL bytes over descriptors: the browser's own pipe (two
// descriptors), or the keeper's socket (one, given twice as duplicates). Blocking and
// non-blocking descriptors both work.
class FramedTransport : public CdpTransport {
  public:
    FramedTransport(posix::UniqueFd in, posix::UniqueFd out);
    ~FramedTransport() override;
    FramedTransport(const FramedTransport&) = delete;
    FramedTransport& operator=(const FramedTransport&) = delete;

    std::optional<std::string> read() override;
    bool send(const std::string& message) override;
    // Tells the other end that this client is gone (closes the pipe, or shuts the socket's
    // sending side) and ends a blocked read.
    void close() override;

  private:
    // Waits until `fd` is ready for `events`; false when close() was called meanwhile.
    bool waitFor(int fd, short events);

    posix::UniqueFd in_;
    posix::UniqueFd out_;
    posix::UniqueFd wakeRead_;  // a pipe that ends a blocked read() or send() on close()
    posix::UniqueFd wakeWrite_;
    MessageFrames frames_;
};

}  // namespace vantrel::chromium
