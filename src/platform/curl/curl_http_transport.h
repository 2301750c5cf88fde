#pragma once

#include <chrono>
#include <memory>
#include <vector>

#include "platform/event_loop.h"
#include "platform/http_transport.h"

namespace vantrel::curl {

struct CurlTimeouts {
    std::chrono::milliseconds connect{15000};
    std::chrono::seconds stall{30};  // less than one byte a second for this long
    std::chrono::milliseconds total{10 * 60 * 1000};
};

// HTTP over libcurl, one worker thread per transfer. Only http and https are spoken; redirects
// are followed (at most five). Every wait is bounded, so a server that stops sending or never
// closes ends the transfer as a failure.
class CurlHttpTransport : public HttpTransport {
  public:
    using Timeouts = CurlTimeouts;

    explicit CurlHttpTransport(EventLoop& loop, Timeouts timeouts = {});
    // Aborts the running transfers and waits for their workers; their files are removed, and their
    // completions (failures) stay queued on the loop.
    ~CurlHttpTransport() override;
    CurlHttpTransport(const CurlHttpTransport&) = delete;
    CurlHttpTransport& operator=(const CurlHttpTransport&) = delete;

    std::unique_ptr<HttpTransfer> start(HttpRequest request, Callbacks callbacks) override;

  private:
    class Worker;
    class Handle;
    using Workers = std::vector<std::shared_ptr<Worker>>;

    EventLoop& loop_;
    Timeouts timeouts_;
    std::shared_ptr<Workers> running_;
};

}  // namespace vantrel::curl
