#include "platform/sim/sim_http_transport.h"

#include <algorithm>
#include <exception>

namespace vantrel::sim {

struct SimHttpTransport::Transfer {
    Transfer(EventLoop& l, HttpRequest r, Callbacks c)
        : loop(l), request(std::move(r)), callbacks(std::move(c)) {}
    EventLoop& loop;
    HttpRequest request;
    Callbacks callbacks;
    bool aborted = false;
    bool finished = false;
    EventLoop::TaskId pending = 0;
};

class SimHttpTransport::Handle : public HttpTransfer {
  public:
    explicit Handle(std::weak_ptr<Transfer> transfer) : transfer_(std::move(transfer)) {}
    void abort() override {
        const auto transfer = transfer_.lock();
        if (!transfer || transfer->finished || transfer->aborted) return;
        transfer->aborted = true;
        transfer->loop.cancel(transfer->pending);
        HttpResult result;
        result.error = "aborted";
        transfer->pending = transfer->loop.scheduleAt(
            transfer->loop.now(), [transfer, result] { deliver(*transfer, result); });
    }

  private:
    std::weak_ptr<Transfer> transfer_;
};

SimHttpTransport::SimHttpTransport(EventLoop& loop, FileSystem* files)
    : loop_(loop), files_(files) {}

SimHttpTransport::~SimHttpTransport() {
    for (const auto& transfer : transfers_) {
        if (!transfer->finished) loop_.cancel(transfer->pending);
    }
}

std::unique_ptr<HttpTransfer> SimHttpTransport::start(HttpRequest request, Callbacks callbacks) {
    auto transfer = std::make_shared<Transfer>(loop_, std::move(request), std::move(callbacks));
    transfers_.push_back(transfer);
    if (transfer->request.url.empty()) {
        answer(transfers_.size() - 1, Answer::failure());
    } else if (answerer_) {
        if (auto reply = answerer_(transfer->request)) {
            answer(transfers_.size() - 1, std::move(*reply), answererDelay_);
        }
    }
    return std::make_unique<Handle>(transfer);
}

const HttpRequest& SimHttpTransport::request(size_t index) const {
    return transfers_.at(index)->request;
}

bool SimHttpTransport::running(size_t index) const {
    return !transfers_.at(index)->finished;
}

bool SimHttpTransport::aborted(size_t index) const {
    return transfers_.at(index)->aborted;
}

size_t SimHttpTransport::runningCount() const {
    return size_t(std::count_if(transfers_.begin(), transfers_.end(),
                                [](const auto& transfer) { return !transfer->finished; }));
}

void SimHttpTransport::setAnswerer(Answerer answerer, EventLoop::Millis delay) {
    answerer_ = std::move(answerer);
    answererDelay_ = delay;
}

void SimHttpTransport::answer(size_t index, Answer answer, EventLoop::Millis delay) {
    const auto transfer = transfers_.at(index);
    if (transfer->finished || transfer->aborted || transfer->pending != 0) return;
    transfer->pending = loop_.scheduleAt(loop_.now() + delay, [this, transfer, answer] {
        deliver(*transfer, resultOf(*transfer, answer));
    });
}

void SimHttpTransport::progress(size_t index, std::int64_t total, std::int64_t received) {
    const auto& transfer = transfers_.at(index);
    if (!transfer->finished && transfer->callbacks.progress) {
        transfer->callbacks.progress(total, received);
    }
}

// Follows the transport's rules: a transfer that cannot succeed stores no body.
HttpResult SimHttpTransport::resultOf(Transfer& transfer, const Answer& answer) {
    const HttpRequest& request = transfer.request;
    HttpResult result;
    result.status = answer.status;
    if (answer.status == 0) {
        result.error = "no connection";
        return result;
    }
    if (answer.withContentLength) result.contentLength = std::int64_t(answer.body.size());
    if (!isSuccessStatus(answer.status) ||
        (request.requireContentLength && !answer.withContentLength)) {
        result.error = "not accepted";
        return result;
    }
    std::string body = answer.body;
    if (answer.breakAfter)
        body.resize(size_t(std::min<std::int64_t>(*answer.breakAfter, body.size())));
    if (request.maxBodyBytes > 0 && std::int64_t(body.size()) > request.maxBodyBytes) {
        result.error = "body too large";
        return result;
    }
    result.received = std::int64_t(body.size());
    result.completed = body.size() == answer.body.size();
    if (!result.completed) result.error = "connection broken";
    if (request.mode == HttpRequest::Mode::File) {
        if (!files_) return result;
        // The file was begun; only a whole body is left in it.
        try {
            if (result.completed) files_->writeFile(request.filePath, body);
        } catch (const std::exception&) {
            result.completed = false;
            result.error = "cannot write " + request.filePath;
        }
        if (!result.completed) files_->removeFile(request.filePath);
    } else {
        result.body = std::move(body);
    }
    return result;
}

void SimHttpTransport::deliver(Transfer& transfer, HttpResult result) {
    if (transfer.finished) return;
    transfer.finished = true;
    transfer.pending = 0;
    transfer.callbacks.done(std::move(result));
}

}  // namespace vantrel::sim
