#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/browser.h"
#include "platform/chromium/window_list.h"
#include "platform/event_loop.h"
#include "platform/extension/extension_messages.h"

namespace vantrel::extension {

// A browser connected through the extension, as the tray tip and the log name it.
struct ConnectedBrowser {
    std::uint64_t connection = 0;
    std::string product;  // "firefox", "chromium"
    std::string version;  // "128.0", "136.0.7103.113"
    // The browser's own name where its family has several ("Google Chrome", "Brave"); empty for
    // Firefox and Chromium itself.
    std::string brand;
    pid_t pid = 0;
    bool watched = false;  // false: declined, as it is watched over the DevTools protocol
    // Requests the browser let go on because Vantrel's verdict did not come in time.
    std::int64_t unanswered = 0;
    // The browser's request rules made from the lists: how many it took, or why it refused them.
    std::int64_t rules = 0;
    std::int64_t rulesMs = 0;
    std::string rulesError;

    // "firefox 128.0"
    std::string name() const { return version.empty() ? product : product + " " + version; }
    // The name users know it by: "Google Chrome", "Firefox".
    std::string label() const;
};

// Every browser connected through the extension as one window collection, driven by the
// messages of their connections alone (no socket, no threads): a test feeds it recorded
// messages and reads what it sends back. A tab is what the engine calls a window; its bars are
// those of its browser window's type. Called on the main thread only.
class ExtensionShell : public BrowserShell {
  public:
    using Connection = std::uint64_t;
    // Delivers one of Vantrel's messages to the browser of a connection.
    using Send = std::function<void(const std::string& message)>;

    // Handles start far above those of the DevTools adapter, so that the two never meet.
    static constexpr WindowHandle kFirstHandle = WindowHandle(1) << 40;

    ExtensionShell(EventLoop& loop, const std::string& programFolder);
    ~ExtensionShell() override;
    ExtensionShell(const ExtensionShell&) = delete;
    ExtensionShell& operator=(const ExtensionShell&) = delete;

    void connected(Connection connection, Send send);
    // One message of the connection's browser, as it came. What is not a message of the
    // protocol, comes out of turn or names what the browser never reported is refused and
    // counted; nothing of it reaches the engine.
    void received(Connection connection, const std::string& text);
    // The connection ended: the browser's tabs leave the collection.
    void disconnected(Connection connection);

    // True for the process of a browser watched another way: its extension is declined.
    void setWatchedElsewhere(std::function<bool(pid_t)> test) {
        watchedElsewhere_ = std::move(test);
    }
    // Runs whenever a browser starts or stops being watched, is declined, or reports requests
    // that went on without a verdict.
    void setOnBrowsersChanged(std::function<void()> handler) { onChanged_ = std::move(handler); }
    std::vector<ConnectedBrowser> browsers() const;
    // The rules that Chromium-family browsers apply to document requests before they leave
    // (their extensions may not hold a request for a verdict), and `change`, how the set given
    // before became `rules`. A browser that took every set since its last whole one is sent the
    // change alone; one that connects later, or refused a set, is sent the whole set.
    void setRequestRules(const RequestRuleSet& rules, const RequestRuleChange& change);
    std::uint64_t refusedMessages() const { return refused_; }

    // The active tab of the focused window of the browser whose process is `frontPid` (the
    // owner of the X11 window in front); 0 when none.
    WindowHandle foregroundWindow(pid_t frontPid) const;

    std::unique_ptr<BrowserWindows> createWindows() override;
    void listenWindowRegistered(std::function<void()> onWindowRegistered) override;

  private:
    class Control;
    // A tab's first navigation, decided when its opener reported it, before the tab reports it.
    struct Opening {
        std::string url;
        bool cancel = false;
    };
    struct Browser {
        Send send;
        ConnectedBrowser about;
        bool answered = false;                            // watching or declined
        bool applyRules = false;                          // a Chromium-family browser
        bool blocking = false;                            // its navigations wait for a verdict
        std::int64_t wholeRulesSet = 0;  // the last rule set it was sent whole, 0 for none
        bool rulesCurrent = false;       // it was sent every set since then
        std::map<std::int64_t, bool> popups;              // window id: a pop-up window
        std::map<std::int64_t, std::int64_t> tabs;        // tab id: its window id
        std::map<std::int64_t, std::int64_t> activeTabs;  // window id: its active tab
        std::int64_t focusedWindow = -1;
        std::map<std::int64_t, Opening> openings;  // tab id: its decided first navigation
        std::set<std::int64_t> navigated;          // tabs whose first navigation the engine saw
    };

    bool handle(Connection connection, Browser& browser, const BrowserMessage& message);
    bool handleTabs(Connection connection, Browser& browser, const BrowserMessage& message);
    bool handlePages(Connection connection, Browser& browser, const BrowserMessage& message);
    void answerWatch(Browser& browser, const BrowserMessage& message);
    void opened(Connection connection, Browser& browser, const BrowserMessage& message);
    // True when the navigation was decided when its opener reported it; a request of it is
    // then answered with that verdict.
    bool decidedAtOpening(Browser& browser, const BrowserMessage& message);
    void setWindowKind(Connection connection, Browser& browser, std::int64_t window, bool popup);
    void addTab(Connection connection, Browser& browser, std::int64_t tab, std::int64_t window,
                const std::string& url);
    void removeTab(Connection connection, Browser& browser, std::int64_t tab);
    // Moves the focus report to the active tab of the browser's focused window.
    void refocus(Connection connection, Browser& browser);
    void send(Connection connection, const std::string& message);
    void sendWholeRules(Browser& browser);
    void rulesApplied(Browser& browser, const BrowserMessage& message);

    std::shared_ptr<chromium::WindowList> windows_;
    std::shared_ptr<Control> control_;
    std::map<Connection, Browser> browsers_;
    std::string focusedTab_;  // the key of the tab whose window last took the focus
    std::function<bool(pid_t)> watchedElsewhere_;
    std::function<void()> onChanged_;
    std::uint64_t refused_ = 0;
    std::int64_t rulesSet_ = 0;  // the number of the last set given, 0 for none yet
    RequestRuleSet rules_;
    std::vector<std::string> wholeRulesMessages_;  // made when a browser first needs them
};

}  // namespace vantrel::extension
