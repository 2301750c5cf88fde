#pragma once

#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/window_events.h"
#include "platform/page/page_script.h"
#include "platform/event_loop.h"

namespace vantrel::chromium {

// What the main thread asks of the browser. Calls return at once; the work is done on the
// I/O thread.
class BrowserControl {
  public:
    virtual ~BrowserControl() = default;
    // Closes the window so that no request of a window still starting leaves.
    virtual void quit(const std::string& targetId) = 0;
    // Applies page writes to the document whose snapshot was read in the isolated world
    // `contextId` of a session; the answer is not awaited.
    virtual void writePage(const std::string& sessionId, int contextId,
                           const std::vector<page::PageWrite>& writes) = 0;
};

// The protocol side of the browser, run on the connection's I/O thread: attaches to every page
// and frame before its first request, resumes it, turns the protocol's events into the
// window events (posted to the main loop), and answers paused requests.
class TargetTracker : public BrowserControl, public std::enable_shared_from_this<TargetTracker> {
  public:
    // Takes the connection over; it must not be started yet.
    TargetTracker(std::unique_ptr<CdpConnection> connection, EventLoop& loop,
                  std::shared_ptr<WindowEvents> events);
    // Resumes what waits, then closes the connection.
    ~TargetTracker() override;
    TargetTracker(const TargetTracker&) = delete;
    TargetTracker& operator=(const TargetTracker&) = delete;

    struct OpenWindow {
        std::string targetId;
        std::string url;
        bool popUp = false;
    };
    // Any thread but the I/O thread: starts watching and waits until every window open now is
    // known. Returns them oldest first. Throws BrowserError.
    std::vector<OpenWindow> start();
    // Resumes everything that waits for Vantrel, then closes the connection. Idempotent.
    void close();
    CdpConnection& connection() { return *connection_; }

    void quit(const std::string& targetId) override;
    void writePage(const std::string& sessionId, int contextId,
                   const std::vector<page::PageWrite>& writes) override;

  private:
    void handleEvent(const std::string& method, const Json& params, const std::string& sessionId);
    void releaseAll();

    struct Session {
        std::string targetId;
        std::string pageId;  // the window the session belongs to
    };
    struct OpenRequest {
        std::string url;  // the address the window opens with
        std::vector<std::string> features;
        bool cancelled = false;
        std::string targetId;  // the window it opened, once known
    };
    struct Target {
        std::string sessionId;
        std::string url;
        bool barsKnown = true;
        bool quitting = false;
        bool closing = false;
        bool started = false;  // a document of its own has been requested or committed
        std::map<std::string, std::string> loaders;  // frame id -> loader of its committed document
        std::shared_ptr<OpenRequest> openedBy;
        std::shared_future<void> prepared;  // ready once its session's set-up was answered
    };
    struct Paused {
        std::string sessionId;
        std::string pageId;
    };

    void attached(const Json& params, const std::string& parentSession);
    // Turns on what a session is watched with; `onPrepared` runs once every command answered.
    void prepareSession(const std::string& sessionId, bool isPage,
                        std::function<void()> onPrepared = {});
    void targetCreated(const Json& info);
    void windowOpen(const Json& params, const std::string& sessionId);
    void requestPaused(const Json& params, const std::string& sessionId);
    void pauseForEngine(const std::string& requestId, const std::string& sessionId,
                        const std::string& pageId, const std::string& frameId,
                        const std::string& url);
    void answer(const std::string& requestId, bool cancel);
    void reply(const std::string& requestId, const std::string& sessionId, const char* how);
    void lifecycle(const Json& params, const std::string& sessionId);
    void frameNavigated(const Json& params, const std::string& sessionId);
    bool replacedDocument(const std::string& page, const std::string& frameId,
                          const std::string& loaderId) const;
    void targetGone(const std::string& targetId);
    void beginQuit(const std::string& targetId);
    void closeNow(const std::string& targetId);
    std::string pageOf(const std::string& sessionId) const;

    template <typename F>
    void toMain(F&& f) {
        loop_.post([events = events_, f = std::forward<F>(f)]() mutable { f(*events); });
    }

    std::unique_ptr<CdpConnection> connection_;
    EventLoop& loop_;
    std::shared_ptr<WindowEvents> events_;

    // I/O thread only.
    std::map<std::string, Session> sessions_;
    std::map<std::string, Target> targets_;
    std::vector<std::string> order_;  // page targets in the order they appeared
    std::map<std::string, std::shared_ptr<OpenRequest>> lastOpen_;  // by opener
    std::map<std::string, Paused> paused_;                          // by request id
};

}  // namespace vantrel::chromium
