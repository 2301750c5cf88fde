#pragma once

#include <chrono>
#include <memory>

#include "platform/event_loop.h"
#include "platform/whois_transport.h"

namespace vantrel::posix {

// WHOIS over TCP, one worker thread per exchange (TWhoIsThread). Workers run detached: an
// exchange never holds up the program's end. Destroying the transport stops every running
// exchange at its next wait, and no completion is posted after that.
class WhoisSocketTransport : public WhoisTransport {
  public:
    // `total` bounds a whole exchange, however slowly a server trickles its answer.
    explicit WhoisSocketTransport(EventLoop& loop,
                                  std::chrono::milliseconds total = std::chrono::seconds(60));
    ~WhoisSocketTransport() override;
    WhoisSocketTransport(const WhoisSocketTransport&) = delete;
    WhoisSocketTransport& operator=(const WhoisSocketTransport&) = delete;

    std::unique_ptr<WhoisExchange> start(WhoisRequest request, Done done) override;

  private:
    class TWhoIsThread;
    class Handle;
    struct Link;

    std::shared_ptr<Link> link_;
    std::chrono::milliseconds total_;
};

}  // namespace vantrel::posix
