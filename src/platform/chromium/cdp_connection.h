#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "platform/chromium/cdp_transport.h"

namespace vantrel::chromium {

using Json = nlohmann::json;

// The outcome of one command: its result, or why there is none (an error reply, a timeout, the
// connection closing).
struct CdpReply {
    bool ok = false;
    Json result = Json::object();
    std::string error;
};

// A flat-session DevTools client: every page is a session multiplexed on one connection, each
// command is matched to its reply by id and has a deadline. It owns two threads: a reader that
// only waits for messages, and the I/O thread that runs every handler, reply and posted task in
// order, so protocol state needs no locks.
class CdpConnection {
  public:
    using Millis = std::chrono::milliseconds;
    using ReplyHandler = std::function<void(const CdpReply&)>;
    // An event: method, params and the session it came on (empty: the browser session).
    using EventHandler = std::function<void(const std::string&, const Json&, const std::string&)>;

    static constexpr Millis kDefaultTimeout{5000};

    explicit CdpConnection(std::unique_ptr<CdpTransport> transport);
    ~CdpConnection();
    CdpConnection(const CdpConnection&) = delete;
    CdpConnection& operator=(const CdpConnection&) = delete;

    // Set both before start(); they run on the I/O thread.
    void onEvent(EventHandler handler) { onEvent_ = std::move(handler); }
    // Runs once, when the browser end closes or close() is called.
    void onClosed(std::function<void()> handler) { onClosed_ = std::move(handler); }
    void start();

    // Any thread. `reply` runs on the I/O thread exactly once, unless it is empty.
    void send(const std::string& method, Json params, const std::string& sessionId = {},
              ReplyHandler reply = {}, Millis timeout = kDefaultTimeout);
    // Any thread: runs `task` on the I/O thread.
    void post(std::function<void()> task);
    // Any thread: runs `task` on the I/O thread once `delay` has passed (unless it closed).
    void postAfter(Millis delay, std::function<void()> task);
    // Any thread but the I/O thread: waits for the reply. Throws BrowserError on an error reply,
    // a timeout or a closed connection.
    Json call(const std::string& method, Json params = Json::object(),
              const std::string& sessionId = {}, Millis timeout = kDefaultTimeout);

    // Runs `beforeClose` on the I/O thread (last messages may still be sent from it), then
    // closes the transport and joins both threads. Idempotent.
    void close(std::function<void()> beforeClose = {});
    bool isOpen() const;
    bool onIoThread() const { return std::this_thread::get_id() == ioThread_.get_id(); }

  private:
    struct Pending {
        ReplyHandler reply;
        std::chrono::steady_clock::time_point deadline;
    };

    void readLoop();
    void ioLoop();
    void dispatch(const std::string& text);
    void handleMessage(const std::string& text);
    void expireCommands();
    void runDueTasks();
    std::chrono::steady_clock::time_point nextDeadline() const;
    void finish();

    std::unique_ptr<CdpTransport> transport_;
    EventHandler onEvent_;
    std::function<void()> onClosed_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> incoming_;
    std::deque<std::function<void()>> tasks_;
    bool readerDone_ = false;
    bool stopping_ = false;
    bool open_ = false;
    bool ioEnded_ = false;  // no task runs any more

    // I/O thread only.
    std::map<long, Pending> pending_;
    std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> delayed_;
    long nextId_ = 1;
    bool finished_ = false;

    std::thread reader_;
    std::thread ioThread_;
};

}  // namespace vantrel::chromium
