#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/http_transport.h"

namespace vantrel::sim {

// Transfers that a test answers on virtual time. Nothing goes on the wire: each started transfer
// waits until the test (or an automatic answerer) says how and when it ends. File mode bodies are
// written to the given file system, when there is one.
class SimHttpTransport : public HttpTransport {
  public:
    // How the server answers one transfer.
    struct Answer {
        Answer(int status_, std::string body_, bool withContentLength_ = true,
               std::optional<std::int64_t> breakAfter_ = std::nullopt)
            : status(status_),
              body(std::move(body_)),
              withContentLength(withContentLength_),
              breakAfter(breakAfter_) {}
        static Answer failure() { return {0, {}, false}; }  // nobody answered

        int status;
        std::string body;
        bool withContentLength;
        // The connection breaks after this many body bytes (the announced length stays the
        // whole body's).
        std::optional<std::int64_t> breakAfter;
    };
    using Answerer = std::function<std::optional<Answer>(const HttpRequest&)>;

    explicit SimHttpTransport(EventLoop& loop, FileSystem* files = nullptr);
    ~SimHttpTransport() override;

    std::unique_ptr<HttpTransfer> start(HttpRequest request, Callbacks callbacks) override;

    // Every transfer ever started, in order; the index is the transfer's number.
    size_t count() const { return transfers_.size(); }
    const HttpRequest& request(size_t index) const;
    bool running(size_t index) const;
    bool aborted(size_t index) const;
    size_t runningCount() const;

    // Ends the transfer with `answer` after `delay` ms of virtual time (0: at the next turn of the
    // loop). Answering a transfer that is already answered or finished changes nothing.
    void answer(size_t index, Answer answer, EventLoop::Millis delay = 0);
    // Raises progress now, as the worker would after storing `received` bytes.
    void progress(size_t index, std::int64_t total, std::int64_t received);
    // Answers every transfer started from now on for which `answerer` has an answer.
    void setAnswerer(Answerer answerer, EventLoop::Millis delay = 0);

  private:
    struct Transfer;
    class Handle;
    static void deliver(Transfer& transfer, HttpResult result);
    HttpResult resultOf(Transfer& transfer, const Answer& answer);

    EventLoop& loop_;
    FileSystem* files_;
    Answerer answerer_;
    EventLoop::Millis answererDelay_ = 0;
    std::vector<std::shared_ptr<Transfer>> transfers_;
};

}  // namespace vantrel::sim
