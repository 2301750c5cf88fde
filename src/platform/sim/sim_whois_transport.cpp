#include "platform/sim/sim_whois_transport.h"

#include <algorithm>

namespace vantrel::sim {

struct SimWhoisTransport::Exchange {
    Exchange(EventLoop& l, WhoisRequest r, Done d)
        : loop(l), request(std::move(r)), done(std::move(d)) {}
    EventLoop& loop;
    WhoisRequest request;
    Done done;
    bool finished = false;
    EventLoop::TaskId pending = 0;
};

class SimWhoisTransport::Handle : public WhoisExchange {
  public:
    explicit Handle(std::weak_ptr<Exchange> exchange) : exchange_(std::move(exchange)) {}
    void abort() override {
        const auto exchange = exchange_.lock();
        if (!exchange || exchange->finished) return;
        exchange->loop.cancel(exchange->pending);
        WhoisResult result;
        result.error = "aborted";
        exchange->pending = exchange->loop.scheduleAt(
            exchange->loop.now(), [exchange, result] { deliver(*exchange, result); });
    }

  private:
    std::weak_ptr<Exchange> exchange_;
};

SimWhoisTransport::~SimWhoisTransport() {
    for (const auto& exchange : exchanges_) {
        if (!exchange->finished) loop_.cancel(exchange->pending);
    }
}

std::unique_ptr<WhoisExchange> SimWhoisTransport::start(WhoisRequest request, Done done) {
    auto exchange = std::make_shared<Exchange>(loop_, std::move(request), std::move(done));
    exchanges_.push_back(exchange);
    if (exchange->request.host.empty()) {
        answer(exchanges_.size() - 1, std::nullopt);
    } else if (answerer_) {
        if (auto reply = answerer_(exchange->request)) {
            answer(exchanges_.size() - 1, std::move(*reply), answererDelay_);
        }
    }
    return std::make_unique<Handle>(exchange);
}

const WhoisRequest& SimWhoisTransport::request(size_t index) const {
    return exchanges_.at(index)->request;
}

bool SimWhoisTransport::running(size_t index) const {
    return !exchanges_.at(index)->finished;
}

size_t SimWhoisTransport::runningCount() const {
    return size_t(std::count_if(exchanges_.begin(), exchanges_.end(),
                                [](const auto& exchange) { return !exchange->finished; }));
}

std::optional<size_t> SimWhoisTransport::indexOf(const std::string& query) const {
    for (size_t i = 0; i < exchanges_.size(); ++i) {
        if (exchanges_[i]->request.query == query) return i;
    }
    return std::nullopt;
}

void SimWhoisTransport::setAnswerer(Answerer answerer, EventLoop::Millis delay) {
    answerer_ = std::move(answerer);
    answererDelay_ = delay;
}

void SimWhoisTransport::answer(size_t index, Answer answer, EventLoop::Millis delay) {
    const auto exchange = exchanges_.at(index);
    if (exchange->finished || exchange->pending != 0) return;
    WhoisResult result;
    result.completed = answer.has_value();
    if (answer) {
        result.answer = std::move(*answer);
    } else {
        result.error = "no connection";
    }
    exchange->pending =
        loop_.scheduleAt(loop_.now() + delay, [exchange, result] { deliver(*exchange, result); });
}

void SimWhoisTransport::deliver(Exchange& exchange, WhoisResult result) {
    if (exchange.finished) return;
    exchange.finished = true;
    exchange.pending = 0;
    exchange.done(std::move(result));
}

}  // namespace vantrel::sim
