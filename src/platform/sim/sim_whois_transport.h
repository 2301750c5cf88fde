#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/whois_transport.h"

namespace vantrel::sim {

// WHOIS exchanges that a test answers on virtual time; nothing goes on the wire.
class SimWhoisTransport : public WhoisTransport {
  public:
    // The server's whole answer, or nothing for an exchange that failed.
    using Answer = std::optional<std::string>;
    // Gives the answer to a request, or leaves it for the test to answer later (outer nullopt).
    using Answerer = std::function<std::optional<Answer>(const WhoisRequest&)>;

    explicit SimWhoisTransport(EventLoop& loop) : loop_(loop) {}
    ~SimWhoisTransport() override;

    std::unique_ptr<WhoisExchange> start(WhoisRequest request, Done done) override;

    size_t count() const { return exchanges_.size(); }
    const WhoisRequest& request(size_t index) const;
    bool running(size_t index) const;
    size_t runningCount() const;
    // The exchange of the first request for `query`, if any.
    std::optional<size_t> indexOf(const std::string& query) const;

    // Ends the exchange with `answer` after `delay` ms of virtual time.
    void answer(size_t index, Answer answer, EventLoop::Millis delay = 0);
    // Answers every exchange started from now on for which `answerer` has an answer.
    void setAnswerer(Answerer answerer, EventLoop::Millis delay = 0);

  private:
    struct Exchange;
    class Handle;
    static void deliver(Exchange& exchange, WhoisResult result);

    EventLoop& loop_;
    Answerer answerer_;
    EventLoop::Millis answererDelay_ = 0;
    std::vector<std::shared_ptr<Exchange>> exchanges_;
};

}  // namespace vantrel::sim
