#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/browser.h"
#include "platform/chromium/target_tracker.h"
#include "platform/chromium/window_events.h"
#include "platform/page/snapshot_document.h"

namespace vantrel::chromium {

// What the main thread knows of one window, kept current by the browser's events.
struct WindowState {
    struct Frame {
        std::string url;
        std::shared_ptr<page::SnapshotDocument> document;
    };

    std::string targetId;
    WindowHandle handle = 0;
    std::string url;
    bool toolbar = true;
    bool menubar = true;
    bool alive = true;
    bool quitting = false;  // asked to close
    bool departed = false;  // out of the collection: from the next event or main-loop turn
    BrowserEventSink* sink = nullptr;
    std::map<std::string, Frame> frames;  // by frame id; the window's own is its target id
    unsigned frontWindow = 0;             // the X11 window in front when its page last had focus
    unsigned long long focusedAt = 0;     // when its page last had focus, in reports; 0 never
};

// The browser windows as the main thread sees them, in the order they appeared. Every read of
// the engine is served from here; nothing waits for the browser.
class WindowList : public WindowEvents, public std::enable_shared_from_this<WindowList> {
  public:
    // Handles are numbered from `firstHandle`, so that lists of two adapters never share one.
    WindowList(EventLoop& loop, std::shared_ptr<page::PlaceholderImages> placeholders,
               WindowHandle firstHandle = 1);

    void setControl(std::weak_ptr<BrowserControl> control) { control_ = std::move(control); }
    void setOnRegistered(std::function<void()> handler) { onRegistered_ = std::move(handler); }
    // Runs once the browser is gone (the connection ended).
    void setOnGone(std::function<void()> handler) { onGone_ = std::move(handler); }

    // The windows of the collection, oldest first.
    std::vector<std::shared_ptr<WebBrowser>> browsers();
    // Tells which X11 window is in front; asked whenever a page reports focus.
    void setFrontWindowProbe(std::function<unsigned()> probe) { frontProbe_ = std::move(probe); }
    // The window whose page has focus. When no page has (the browser's own address bar has
    // it), the window whose page last had focus while `frontWindow` was in front. 0 when none.
    WindowHandle focusedWindow(unsigned frontWindow) const;
    bool browserGone() const { return gone_; }

    void windowCreated(const std::string& targetId, const std::string& url, bool toolbar,
                       bool menubar) override;
    void windowUrlChanged(const std::string& targetId, const std::string& url) override;
    void windowBarsReported(const std::string& targetId, bool toolbar, bool menubar) override;
    void windowCrashed(const std::string& targetId) override;
    void windowGone(const std::string& targetId) override;
    void frameNavigated(const std::string& targetId, const std::string& frameId,
                        const std::string& url) override;
    void beforeNavigate(const std::string& targetId, const std::string& frameId,
                        const std::string& url, Answer answer) override;
    void newWindow(const std::string& openerTargetId, Answer answer) override;
    // A page of the window asks for a new window that the browser has not made yet (a browser
    // watched through the extension asks this); `answer` gets whether it is refused.
    void windowOpening(const std::string& openerTargetId, const std::string& url, bool popUp,
                       Answer answer);
    void documentComplete(const std::string& targetId, const std::string& frameId,
                          std::shared_ptr<const FrameSnapshot> snapshot) override;
    void focusReported(const std::string& targetId, bool focused) override;
    void browserGone() override;

  private:
    std::shared_ptr<WindowState> find(const std::string& targetId) const;
    std::shared_ptr<WebBrowser> browserFor(const std::shared_ptr<WindowState>& state,
                                           const std::string& frameId);
    // A window closed by an earlier handler leaves the collection before the next one runs,
    // even when that handler's event was queued before the close's own departure.
    void departClosedWindows();
    // Where the writes of a frame's document go: the isolated world its snapshot was read in.
    page::SnapshotDocument::WriteSink writesTo(const FrameSnapshot& frame) const;
    // Runs an engine handler, then answers the browser whatever the handler did.
    void decide(const std::shared_ptr<WindowState>& state, const Answer& answer,
                const std::function<void(BrowserEventSink&, bool&)>& handler);

    EventLoop& loop_;
    std::shared_ptr<page::PlaceholderImages> placeholders_;
    std::weak_ptr<BrowserControl> control_;
    std::function<void()> onRegistered_;
    std::function<void()> onGone_;
    std::vector<std::shared_ptr<WindowState>> windows_;
    std::string focusedTarget_;
    std::function<unsigned()> frontProbe_;
    unsigned long long focusReports_ = 0;
    WindowHandle nextHandle_;
    bool gone_ = false;
};

// The list as the engine's collection. Live, as the engine expects: it keeps the collection it
// connected with and finds the newest window in it when one registers.
class LiveWindows : public BrowserWindows {
  public:
    explicit LiveWindows(std::shared_ptr<WindowList> windows) : windows_(std::move(windows)) {}
    int Count() override;
    std::shared_ptr<WebBrowser> Item(int index) override;

  private:
    std::shared_ptr<WindowList> windows_;
};

}  // namespace vantrel::chromium
