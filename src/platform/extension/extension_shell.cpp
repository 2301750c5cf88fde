#include "platform/extension/extension_shell.h"

#include <charconv>
#include <climits>
#include <optional>

#include "common/text.h"
#include "platform/extension/window_features.h"

namespace vantrel::extension {

namespace {

using Type = BrowserMessage::Type;

// The window list names windows and frames by text: a tab is "connection/tab", a frame of it
// "connection/tab/frame"; a tab's own page is frame 0 and has the tab's name.
std::string tabKey(ExtensionShell::Connection connection, std::int64_t tab) {
    return std::to_string(connection) + "/" + std::to_string(tab);
}

std::string frameKey(ExtensionShell::Connection connection, std::int64_t tab, std::int64_t frame) {
    return frame == 0 ? tabKey(connection, tab)
                      : tabKey(connection, tab) + "/" + std::to_string(frame);
}

struct FrameAddress {
    ExtensionShell::Connection connection = 0;
    std::int64_t tab = 0;
    std::int64_t frame = 0;
};

std::optional<FrameAddress> parseKey(const std::string& key) {
    FrameAddress address;
    const char* at = key.data();
    const char* end = key.data() + key.size();
    auto number = [&](auto& out) {
        const auto result = std::from_chars(at, end, out);
        if (result.ec != std::errc()) return false;
        at = result.ptr;
        return true;
    };
    auto slash = [&] { return at < end && *at++ == '/'; };
    if (!number(address.connection) || !slash() || !number(address.tab)) return std::nullopt;
    if (at < end && (!slash() || !number(address.frame))) return std::nullopt;
    return at == end ? std::optional(address) : std::nullopt;
}

bool ownedBy(const std::string& key, ExtensionShell::Connection connection) {
    const auto address = parseKey(key);
    return address && address->connection == connection;
}

}  // namespace

std::string ConnectedBrowser::label() const {
    if (!brand.empty()) return brand;
    std::string name = product;  // "firefox": "Firefox"
    if (!name.empty()) name[0] = upperAscii(name[0]);
    return name;
}

// What the window list asks of the browsers: closing a tab, writing to a frame's document.
class ExtensionShell::Control : public chromium::BrowserControl {
  public:
    explicit Control(ExtensionShell& shell) : shell_(shell) {}

    void quit(const std::string& targetId) override {
        if (const auto tab = parseKey(targetId)) {
            shell_.send(tab->connection, closeMessage(tab->tab));
        }
    }
    // The frame's name travels as the session, its load number plus one as the context.
    void writePage(const std::string& sessionId, int contextId,
                   const std::vector<page::PageWrite>& writes) override {
        const auto frame = parseKey(sessionId);
        if (!frame) return;
        for (const auto& message : writeMessages(frame->tab, frame->frame, contextId - 1, writes)) {
            shell_.send(frame->connection, message);
        }
    }

  private:
    ExtensionShell& shell_;
};

ExtensionShell::ExtensionShell(EventLoop& loop, const std::string& programFolder)
    : windows_(std::make_shared<chromium::WindowList>(
          loop, std::make_shared<page::PlaceholderImages>(programFolder), kFirstHandle)),
      control_(std::make_shared<Control>(*this)) {
    windows_->setControl(control_);
}

// The collection may outlive the shell in the engine's hands; its tabs then close nothing.
ExtensionShell::~ExtensionShell() = default;

void ExtensionShell::connected(Connection connection, Send send) {
    Browser& browser = browsers_[connection];
    browser.send = std::move(send);
    browser.about.connection = connection;
}

void ExtensionShell::disconnected(Connection connection) {
    auto it = browsers_.find(connection);
    if (it == browsers_.end()) return;
    const bool watched = it->second.about.watched;
    for (const auto& [tab, window] : it->second.tabs) windows_->windowGone(tabKey(connection, tab));
    if (ownedBy(focusedTab_, connection)) focusedTab_.clear();
    browsers_.erase(it);
    if (watched && onChanged_) onChanged_();
}

void ExtensionShell::received(Connection connection, const std::string& text) {
    auto it = browsers_.find(connection);
    const auto message = parseBrowserMessage(text);
    if (it == browsers_.end() || !message || !handle(connection, it->second, *message)) {
        ++refused_;
    }
}

bool ExtensionShell::handle(Connection connection, Browser& browser,
                            const BrowserMessage& message) {
    // The host's own message comes first, then the extension's watch; everything after
    // that only from a browser that is watched.
    if (message.type == Type::Host) {
        if (browser.answered || browser.about.pid != 0) return false;
        browser.about.pid = pid_t(message.browserPid);
        return true;
    }
    if (message.type == Type::Watch) {
        if (browser.answered) return false;
        answerWatch(browser, message);
        return true;
    }
    if (!browser.about.watched) return false;
    return handleTabs(connection, browser, message) || handlePages(connection, browser, message);
}

void ExtensionShell::answerWatch(Browser& browser, const BrowserMessage& message) {
    browser.answered = true;
    browser.about.product = message.browser;
    browser.about.version = message.version;
    browser.about.brand = message.brand;
    browser.about.unanswered = message.count;
    if (watchedElsewhere_ && browser.about.pid != 0 && watchedElsewhere_(browser.about.pid)) {
        browser.send(declinedMessage("watched over the DevTools protocol"));
        if (onChanged_) onChanged_();
        return;
    }
    browser.about.watched = true;
    browser.applyRules = message.browser == "chromium";
    browser.blocking = message.blocking;
    browser.send(watchingMessage());
    if (browser.applyRules) sendWholeRules(browser);
    if (onChanged_) onChanged_();
}

void ExtensionShell::setRequestRules(const RequestRuleSet& rules, const RequestRuleChange& change) {
    ++rulesSet_;
    rules_ = rules;
    wholeRulesMessages_.clear();
    std::vector<std::string> changeMessages;
    for (auto& [connection, browser] : browsers_) {
        if (!browser.about.watched || !browser.applyRules) continue;
        if (!browser.rulesCurrent) {
            sendWholeRules(browser);
            continue;
        }
        if (change.empty()) continue;
        if (changeMessages.empty()) changeMessages = changedRulesMessages(rulesSet_, change);
        for (const auto& message : changeMessages) browser.send(message);
    }
}

void ExtensionShell::sendWholeRules(Browser& browser) {
    if (rulesSet_ == 0) return;
    if (wholeRulesMessages_.empty()) wholeRulesMessages_ = wholeRulesMessages(rulesSet_, rules_);
    for (const auto& message : wholeRulesMessages_) browser.send(message);
    browser.wholeRulesSet = rulesSet_;
    browser.rulesCurrent = true;
}

void ExtensionShell::rulesApplied(Browser& browser, const BrowserMessage& message) {
    browser.about.rules = message.count;
    browser.about.rulesMs = message.ms;
    browser.about.rulesError = message.error;
    if (message.error.empty()) return;
    // Its rules are those before the refused set: the changes after it do not fit them. A
    // refused change is followed by the whole set at once; a refused whole set waits for the
    // next change of the lists.
    browser.rulesCurrent = false;
    if (message.set != browser.wholeRulesSet) sendWholeRules(browser);
}

bool ExtensionShell::handleTabs(Connection connection, Browser& browser,
                                const BrowserMessage& message) {
    switch (message.type) {
        case Type::Window:
            setWindowKind(connection, browser, message.window, message.popup);
            return true;
        case Type::WindowRemoved:
            browser.popups.erase(message.window);
            browser.activeTabs.erase(message.window);
            return true;
        case Type::Tab:
            addTab(connection, browser, message.tab, message.window, message.url);
            return true;
        case Type::TabRemoved:
            if (!browser.tabs.contains(message.tab)) return false;
            removeTab(connection, browser, message.tab);
            return true;
        case Type::Active:
            if (!browser.tabs.contains(message.tab)) return false;
            browser.activeTabs[message.window] = message.tab;
            refocus(connection, browser);
            return true;
        case Type::Focus:
            browser.focusedWindow = message.window;
            refocus(connection, browser);
            return true;
        case Type::Unanswered:
            browser.about.unanswered = message.count;
            if (onChanged_) onChanged_();
            return true;
        case Type::RulesApplied:
            rulesApplied(browser, message);
            if (onChanged_) onChanged_();
            return true;
        default:
            return false;
    }
}

bool ExtensionShell::handlePages(Connection connection, Browser& browser,
                                 const BrowserMessage& message) {
    const std::string tab = tabKey(connection, message.tab);
    if (message.type == Type::Opened) {
        if (!browser.tabs.contains(message.source)) return false;
        opened(connection, browser, message);
        return true;
    }
    if (!browser.tabs.contains(message.tab)) {
        // The browser waits for a verdict on every request it reported, known tab or not.
        if ((message.type == Type::Navigate || message.type == Type::Open) &&
            !message.request.empty()) {
            browser.send(verdictMessage(message.request, false));
        }
        return false;
    }
    const std::string frame = frameKey(connection, message.tab, message.frame);
    switch (message.type) {
        case Type::Navigate: {
            if (decidedAtOpening(browser, message)) return true;
            auto answer = [this, connection, request = message.request, tabId = message.tab,
                           frameId = message.frame, url = message.url](bool cancel) {
                if (!request.empty()) {
                    send(connection, verdictMessage(request, cancel));
                } else if (cancel) {
                    send(connection, cancelMessage(tabId, frameId, url));
                }
            };
            windows_->beforeNavigate(tab, frame, message.url, std::move(answer));
            return true;
        }
        case Type::Open:
            windows_->windowOpening(tab, message.url, requestsPopUp(message.features),
                                    [this, connection, request = message.request](bool refuse) {
                                        send(connection, verdictMessage(request, refuse));
                                    });
            return true;
        case Type::Committed:
            windows_->frameNavigated(tab, frame, message.url);
            return true;
        case Type::Complete: {
            std::shared_ptr<const chromium::FrameSnapshot> snapshot;
            if (message.snapshot.is_object() && message.load < INT_MAX) {
                snapshot = std::make_shared<chromium::FrameSnapshot>(chromium::FrameSnapshot{
                    page::parseSnapshot(message.snapshot), frame, int(message.load) + 1});
            }
            windows_->documentComplete(tab, frame, std::move(snapshot));
            return true;
        }
        default:
            return false;
    }
}

void ExtensionShell::opened(Connection connection, Browser& browser,
                            const BrowserMessage& message) {
    const std::string tab = tabKey(connection, message.tab);
    // A tab opened for a page is reported before this, with no address yet.
    if (!browser.tabs.contains(message.tab)) addTab(connection, browser, message.tab, -1, "");
    windows_->windowUrlChanged(tab, message.url);
    windows_->newWindow(tabKey(connection, message.source), [](bool) {});
    // The opener's report names the address the new tab is about to request, and comes before
    // the tab's own report of that navigation (in Chromium tens of milliseconds before): the
    // engine sees the navigation now, which closes a pop-up at once.
    if (!browser.navigated.insert(message.tab).second) return;
    windows_->beforeNavigate(
        tab, tab, message.url,
        [this, connection, tabId = message.tab, url = message.url](bool cancel) {
            auto it = browsers_.find(connection);
            if (it == browsers_.end()) return;
            it->second.openings[tabId] = {url, cancel};
            if (cancel && !it->second.blocking) it->second.send(cancelMessage(tabId, 0, url));
        });
}

bool ExtensionShell::decidedAtOpening(Browser& browser, const BrowserMessage& message) {
    if (message.frame != 0) return false;
    browser.navigated.insert(message.tab);
    const auto opening = browser.openings.find(message.tab);
    if (opening == browser.openings.end()) return false;
    const Opening decided = opening->second;
    browser.openings.erase(opening);
    if (decided.url != message.url) return false;
    if (!message.request.empty()) browser.send(verdictMessage(message.request, decided.cancel));
    return true;
}

void ExtensionShell::setWindowKind(Connection connection, Browser& browser, std::int64_t window,
                                   bool popup) {
    browser.popups[window] = popup;
    for (const auto& [tab, in] : browser.tabs) {
        if (in == window) windows_->windowBarsReported(tabKey(connection, tab), !popup, !popup);
    }
}

void ExtensionShell::addTab(Connection connection, Browser& browser, std::int64_t tab,
                            std::int64_t window, const std::string& url) {
    const bool known = browser.tabs.contains(tab);
    if (window >= 0 || !known) browser.tabs[tab] = window;
    const auto kind = browser.popups.find(browser.tabs[tab]);
    const bool popup = kind != browser.popups.end() && kind->second;
    const std::string key = tabKey(connection, tab);
    if (known) {
        // Moved into another window: it takes that window's bars.
        windows_->windowBarsReported(key, !popup, !popup);
    } else {
        windows_->windowCreated(key, url, !popup, !popup);
    }
}

void ExtensionShell::removeTab(Connection connection, Browser& browser, std::int64_t tab) {
    browser.tabs.erase(tab);
    browser.openings.erase(tab);
    browser.navigated.erase(tab);
    const std::string key = tabKey(connection, tab);
    if (focusedTab_ == key) focusedTab_.clear();
    windows_->windowGone(key);
}

void ExtensionShell::refocus(Connection connection, Browser& browser) {
    std::string now;
    if (auto active = browser.activeTabs.find(browser.focusedWindow);
        active != browser.activeTabs.end() && browser.tabs.contains(active->second)) {
        now = tabKey(connection, active->second);
    }
    if (!focusedTab_.empty() && focusedTab_ != now && ownedBy(focusedTab_, connection)) {
        windows_->focusReported(focusedTab_, false);
        focusedTab_.clear();
    }
    if (!now.empty()) {
        windows_->focusReported(now, true);
        focusedTab_ = now;
    }
}

void ExtensionShell::send(Connection connection, const std::string& message) {
    if (auto it = browsers_.find(connection); it != browsers_.end()) it->second.send(message);
}

std::vector<ConnectedBrowser> ExtensionShell::browsers() const {
    std::vector<ConnectedBrowser> result;
    for (const auto& [connection, browser] : browsers_) {
        if (browser.answered) result.push_back(browser.about);
    }
    return result;
}

WindowHandle ExtensionShell::foregroundWindow(pid_t frontPid) const {
    const auto focused = parseKey(focusedTab_);
    if (!focused || frontPid == 0) return 0;
    const auto browser = browsers_.find(focused->connection);
    if (browser == browsers_.end() || browser->second.about.pid != frontPid) return 0;
    return windows_->focusedWindow(0);
}

std::unique_ptr<BrowserWindows> ExtensionShell::createWindows() {
    return std::make_unique<chromium::LiveWindows>(windows_);
}

void ExtensionShell::listenWindowRegistered(std::function<void()> onWindowRegistered) {
    windows_->setOnRegistered(std::move(onWindowRegistered));
}

}  // namespace vantrel::extension
