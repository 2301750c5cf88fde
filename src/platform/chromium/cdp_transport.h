#pragma once

#include <optional>
#include <string>

namespace vantrel::chromium {

// One DevTools connection carrying whole JSON messages both ways. `read` is called by one reader
// thread only; `send` by one writer thread only; `close` from any thread ends a blocked `read`.
class CdpTransport {
  public:
    virtual ~CdpTransport() = default;

    // Blocks until a whole message arrived; empty once the connection is closed.
    virtual std::optional<std::string> read() = 0;
    // False when the connection is closed.
    virtual bool send(const std::string& message) = 0;
    virtual void close() = 0;
};

}  // namespace vantrel::chromium
