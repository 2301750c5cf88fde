#include "platform/chromium/cdp_connection.h"

#include <future>

#include "platform/browser.h"

namespace vantrel::chromium {

namespace {

CdpReply failure(std::string why) {
    return {false, Json::object(), std::move(why)};
}

// A reply handler that throws on an odd reply loses only its own step.
void deliver(const CdpConnection::ReplyHandler& handler, const CdpReply& reply) {
    try {
        handler(reply);
    } catch (const std::exception&) {
    }
}

}  // namespace

CdpConnection::CdpConnection(std::unique_ptr<CdpTransport> transport)
    : transport_(std::move(transport)) {}

CdpConnection::~CdpConnection() {
    close();
}

void CdpConnection::start() {
    {
        std::lock_guard lock(mutex_);
        open_ = true;
    }
    reader_ = std::thread([this] { readLoop(); });
    ioThread_ = std::thread([this] { ioLoop(); });
}

bool CdpConnection::isOpen() const {
    std::lock_guard lock(mutex_);
    return open_ && !readerDone_;
}

void CdpConnection::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (ioEnded_) return;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void CdpConnection::send(const std::string& method, Json params, const std::string& sessionId,
                         ReplyHandler reply, Millis timeout) {
    if (!onIoThread()) {
        {
            std::lock_guard lock(mutex_);
            if (ioEnded_) {
                if (reply) reply(failure("connection closed"));
                return;
            }
        }
        post([this, method, params = std::move(params), sessionId, reply = std::move(reply),
              timeout]() mutable {
            send(method, std::move(params), sessionId, std::move(reply), timeout);
        });
        return;
    }
    if (finished_) {
        if (reply) reply(failure("connection closed"));
        return;
    }
    const long id = nextId_++;
    Json message = {{"id", id}, {"method", method}, {"params", std::move(params)}};
    if (!sessionId.empty()) message["sessionId"] = sessionId;
    // Addresses written by the engine are bytes: anything not UTF-8 is replaced, never thrown.
    const std::string text = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (reply) pending_[id] = {std::move(reply), std::chrono::steady_clock::now() + timeout};
    if (!transport_->send(text)) {
        auto it = pending_.find(id);
        if (it != pending_.end()) {
            auto handler = std::move(it->second.reply);
            pending_.erase(it);
            deliver(handler, failure("connection closed"));
        }
    }
}

Json CdpConnection::call(const std::string& method, Json params, const std::string& sessionId,
                         Millis timeout) {
    auto promise = std::make_shared<std::promise<CdpReply>>();
    auto future = promise->get_future();
    send(
        method, std::move(params), sessionId,
        [promise](const CdpReply& reply) { promise->set_value(reply); }, timeout);
    // The I/O thread answers every command by its deadline; the margin covers a busy thread.
    if (future.wait_for(timeout + Millis(2000)) != std::future_status::ready) {
        throw BrowserError(method + ": no reply");
    }
    CdpReply reply = future.get();
    if (!reply.ok) throw BrowserError(method + ": " + reply.error);
    return std::move(reply.result);
}

void CdpConnection::close(std::function<void()> beforeClose) {
    {
        std::lock_guard lock(mutex_);
        if (!open_ || stopping_) return;
    }
    post([this, beforeClose = std::move(beforeClose)] {
        if (beforeClose && !finished_) beforeClose();
        transport_->close();
        std::lock_guard lock(mutex_);
        stopping_ = true;
    });
    if (reader_.joinable()) reader_.join();
    if (ioThread_.joinable()) ioThread_.join();
    std::lock_guard lock(mutex_);
    open_ = false;
}

void CdpConnection::readLoop() {
    while (auto message = transport_->read()) {
        {
            std::lock_guard lock(mutex_);
            incoming_.push_back(std::move(*message));
        }
        wake_.notify_one();
    }
    {
        std::lock_guard lock(mutex_);
        readerDone_ = true;
    }
    wake_.notify_one();
}

void CdpConnection::ioLoop() {
    for (;;) {
        std::deque<std::string> messages;
        std::deque<std::function<void()>> tasks;
        bool readerDone = false;
        {
            std::unique_lock lock(mutex_);
            auto ready = [&] {
                return !incoming_.empty() || !tasks_.empty() || (readerDone_ && !finished_) ||
                       (stopping_ && readerDone_);
            };
            if (pending_.empty() && delayed_.empty()) {
                wake_.wait(lock, ready);
            } else {
                wake_.wait_until(lock, nextDeadline(), ready);
            }
            messages.swap(incoming_);
            tasks.swap(tasks_);
            readerDone = readerDone_;
            if (messages.empty() && tasks.empty() && stopping_ && readerDone_ && finished_) {
                ioEnded_ = true;
                return;
            }
        }
        for (const auto& text : messages) dispatch(text);
        if (readerDone && !finished_) finish();
        for (auto& task : tasks) {
            try {
                task();
            } catch (const std::exception&) {
            }
        }
        expireCommands();
        runDueTasks();
    }
}

std::chrono::steady_clock::time_point CdpConnection::nextDeadline() const {
    auto first = std::chrono::steady_clock::time_point::max();
    for (const auto& [id, p] : pending_) first = std::min(first, p.deadline);
    if (!delayed_.empty()) first = std::min(first, delayed_.begin()->first);
    return first;
}

void CdpConnection::postAfter(Millis delay, std::function<void()> task) {
    post([this, due = std::chrono::steady_clock::now() + delay, task = std::move(task)]() mutable {
        delayed_.emplace(due, std::move(task));
    });
}

void CdpConnection::runDueTasks() {
    const auto now = std::chrono::steady_clock::now();
    while (!delayed_.empty() && delayed_.begin()->first <= now) {
        auto task = std::move(delayed_.begin()->second);
        delayed_.erase(delayed_.begin());
        task();
    }
}

void CdpConnection::dispatch(const std::string& text) {
    // A message of an unexpected shape is dropped; it never ends the I/O thread.
    try {
        handleMessage(text);
    } catch (const std::exception&) {
    }
}

void CdpConnection::handleMessage(const std::string& text) {
    Json message = Json::parse(text, nullptr, false);
    if (!message.is_object()) return;
    const std::string sessionId = message.value("sessionId", "");
    if (auto id = message.find("id"); id != message.end() && id->is_number_integer()) {
        auto it = pending_.find(id->get<long>());
        if (it == pending_.end()) return;
        auto handler = std::move(it->second.reply);
        pending_.erase(it);
        if (auto error = message.find("error"); error != message.end()) {
            deliver(handler,
                    failure(error->is_object() ? error->value("message", "error") : "error"));
        } else {
            Json result = message.value("result", Json::object());
            deliver(handler, {true, result.is_object() ? std::move(result) : Json::object(), {}});
        }
        return;
    }
    if (auto method = message.find("method"); method != message.end() && method->is_string()) {
        if (onEvent_) onEvent_(*method, message.value("params", Json::object()), sessionId);
    }
}

void CdpConnection::expireCommands() {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->second.deadline > now) {
            ++it;
            continue;
        }
        auto handler = std::move(it->second.reply);
        it = pending_.erase(it);
        deliver(handler, failure("timed out"));
    }
}

void CdpConnection::finish() {
    finished_ = true;
    auto pending = std::move(pending_);
    pending_.clear();
    for (auto& [id, p] : pending) deliver(p.reply, failure("connection closed"));
    if (onClosed_) onClosed_();
}

}  // namespace vantrel::chromium
