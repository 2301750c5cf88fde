#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/browser.h"
#include "platform/event_loop.h"
#include "platform/sim/sim_document.h"

namespace vantrel::sim {

// Browser calls a test can make fail.
enum class BrowserCall {
    CreateWindows,
    ListenWindowRegistered,
    Count,
    Item,
    Handle,
    LocationURL,
    ToolBar,
    MenuBar,
    Quit,
    Document,
    Advise,
};

class SimBrowserShell;

// A browser window with an address, bar flags and a document. Its calls throw BrowserError
// when the test made them fail.
class SimBrowser : public WebBrowser {
  public:
    SimBrowser(SimBrowserShell& shell, std::string name, WindowHandle handle);

    WindowHandle handle() override;
    std::string LocationURL() override;
    int ToolBar() override;
    bool MenuBar() override;
    void Quit() override;
    std::shared_ptr<PageDocument> Document() override;
    std::uint32_t advise(BrowserEventSink& sink) override;

    const std::string name;
    const WindowHandle windowHandle;
    std::string url;
    int toolBar = 1;
    bool menuBar = true;
    std::shared_ptr<SimDocument> document;  // null: no document yet
    std::set<BrowserCall> failing;
    bool quitCalled = false;
    std::vector<BrowserEventSink*> sinks;

  private:
    void check(BrowserCall call);

    SimBrowserShell& shell_;
};

// The open windows in the order they opened. A window's Quit takes effect after the current
// event, as a real browser closes a window when the engine's handler has returned: the window
// stays in the collection until the loop runs or the next event fires, whichever comes first.
class SimBrowserShell : public BrowserShell {
  public:
    static constexpr WindowHandle kFirstHandle = 0x1001;

    explicit SimBrowserShell(EventLoop& loop) : loop_(loop) {}

    std::unique_ptr<BrowserWindows> createWindows() override;
    void listenWindowRegistered(std::function<void()> onWindowRegistered) override;
    void listenConnectionLost(std::function<void()> onLost) override;

    // The browser goes away, as when it ends: its windows are gone, it cannot be reached until
    // comeBack(), and the loss is reported through the loop, as the real adapter reports it.
    void loseBrowser();
    void comeBack();

    // Opens a window that joins the collection and tells the listener.
    std::shared_ptr<SimBrowser> open(const std::string& name, const std::string& url,
                                     int toolBar = 1, bool menuBar = true);
    // The window of that name, open or closed; null when there never was one.
    std::shared_ptr<SimBrowser> window(const std::string& name) const;
    bool isOpen(const std::string& name) const;
    const std::vector<std::shared_ptr<SimBrowser>>& openWindows() const { return open_; }

    // Fires BeforeNavigate2 at the window's sinks; the window takes the address unless one of
    // them cancels. Returns whether it was cancelled.
    bool navigate(const std::shared_ptr<SimBrowser>& window, const std::string& url);
    // The page in `opener` asks for a new window: NewWindow2 at the opener's sinks.
    bool requestNewWindow(const std::shared_ptr<SimBrowser>& opener);
    // DocumentComplete at the window's sinks with its address, after putting `body` in place.
    void complete(const std::shared_ptr<SimBrowser>& window,
                  const std::optional<std::string>& body = std::nullopt);

    std::set<BrowserCall> failing;                  // shell and collection calls that throw
    std::set<int> failingItems;                     // collection indexes whose Item throws
    std::vector<std::string> closed;                // window names, in the order they quit
    std::vector<std::string> cancelledNavigations;  // addresses, in order
    int collectionsCreated = 0;

  private:
    friend class SimBrowser;
    friend class SimWindows;
    void check(BrowserCall call);
    void close(SimBrowser& window);
    void departClosed();

    EventLoop& loop_;
    std::function<void()> onWindowRegistered_;
    std::function<void()> onLost_;
    std::vector<std::shared_ptr<SimBrowser>> open_;
    std::vector<std::shared_ptr<SimBrowser>> all_;
    std::vector<const SimBrowser*> closing_;  // closed, still in open_ until they depart
    std::uint32_t nextCookie_ = 1;
};

}  // namespace vantrel::sim
