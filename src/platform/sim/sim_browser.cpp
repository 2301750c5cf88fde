#include "platform/sim/sim_browser.h"

#include <algorithm>

namespace vantrel::sim {

// The collection is live: it shows the shell's open windows at the time of each call.
class SimWindows : public BrowserWindows {
  public:
    explicit SimWindows(SimBrowserShell& shell) : shell_(shell) {}

    int Count() override {
        shell_.check(BrowserCall::Count);
        return int(shell_.open_.size());
    }

    std::shared_ptr<WebBrowser> Item(int index) override {
        shell_.check(BrowserCall::Item);
        if (shell_.failingItems.count(index) != 0) throw BrowserError("simulated item failure");
        if (index < 0 || index >= int(shell_.open_.size())) return nullptr;
        return shell_.open_[size_t(index)];
    }

  private:
    SimBrowserShell& shell_;
};

SimBrowser::SimBrowser(SimBrowserShell& shell, std::string windowName, WindowHandle handle)
    : name(std::move(windowName)), windowHandle(handle), shell_(shell) {}

void SimBrowser::check(BrowserCall call) {
    if (failing.count(call) != 0) throw BrowserError("simulated failure of window " + name);
}

WindowHandle SimBrowser::handle() {
    check(BrowserCall::Handle);
    return windowHandle;
}

std::string SimBrowser::LocationURL() {
    check(BrowserCall::LocationURL);
    return url;
}

int SimBrowser::ToolBar() {
    check(BrowserCall::ToolBar);
    return toolBar;
}

bool SimBrowser::MenuBar() {
    check(BrowserCall::MenuBar);
    return menuBar;
}

void SimBrowser::Quit() {
    check(BrowserCall::Quit);
    if (quitCalled) return;
    quitCalled = true;
    shell_.close(*this);
}

std::shared_ptr<PageDocument> SimBrowser::Document() {
    check(BrowserCall::Document);
    if (!document) throw BrowserError("window " + name + " has no document");
    return document;
}

std::uint32_t SimBrowser::advise(BrowserEventSink& sink) {
    check(BrowserCall::Advise);
    if (std::find(sinks.begin(), sinks.end(), &sink) == sinks.end()) sinks.push_back(&sink);
    return shell_.nextCookie_++;
}

void SimBrowserShell::check(BrowserCall call) {
    if (failing.count(call) != 0) throw BrowserError("simulated browser failure");
}

std::unique_ptr<BrowserWindows> SimBrowserShell::createWindows() {
    check(BrowserCall::CreateWindows);
    ++collectionsCreated;
    return std::make_unique<SimWindows>(*this);
}

void SimBrowserShell::listenWindowRegistered(std::function<void()> onWindowRegistered) {
    check(BrowserCall::ListenWindowRegistered);
    onWindowRegistered_ = std::move(onWindowRegistered);
}

void SimBrowserShell::listenConnectionLost(std::function<void()> onLost) {
    onLost_ = std::move(onLost);
}

void SimBrowserShell::loseBrowser() {
    open_.clear();
    closing_.clear();
    failing.insert(BrowserCall::CreateWindows);
    loop_.post([this] {
        if (onLost_) onLost_();
    });
}

void SimBrowserShell::comeBack() {
    failing.erase(BrowserCall::CreateWindows);
}

std::shared_ptr<SimBrowser> SimBrowserShell::open(const std::string& name, const std::string& url,
                                                  int toolBar, bool menuBar) {
    auto window =
        std::make_shared<SimBrowser>(*this, name, kFirstHandle + WindowHandle(all_.size()));
    window->url = url;
    window->toolBar = toolBar;
    window->menuBar = menuBar;
    open_.push_back(window);
    all_.push_back(window);
    departClosed();
    if (onWindowRegistered_) onWindowRegistered_();
    return window;
}

std::shared_ptr<SimBrowser> SimBrowserShell::window(const std::string& name) const {
    for (auto it = all_.rbegin(); it != all_.rend(); ++it) {
        if ((*it)->name == name) return *it;
    }
    return nullptr;
}

bool SimBrowserShell::isOpen(const std::string& name) const {
    return std::any_of(open_.begin(), open_.end(), [&](const auto& w) { return w->name == name; });
}

void SimBrowserShell::close(SimBrowser& window) {
    closed.push_back(window.name);
    closing_.push_back(&window);
    loop_.post([this] { departClosed(); });
}

void SimBrowserShell::departClosed() {
    for (const SimBrowser* target : closing_) {
        std::erase_if(open_, [&](const auto& w) { return w.get() == target; });
    }
    closing_.clear();
}

bool SimBrowserShell::navigate(const std::shared_ptr<SimBrowser>& window, const std::string& url) {
    bool cancel = false;
    departClosed();
    const auto sinks = window->sinks;  // a handler may connect more sinks
    for (BrowserEventSink* sink : sinks) sink->BeforeNavigate2(window, url, cancel);
    if (cancel) {
        cancelledNavigations.push_back(url);
    } else {
        window->url = url;
    }
    return cancel;
}

bool SimBrowserShell::requestNewWindow(const std::shared_ptr<SimBrowser>& opener) {
    bool cancel = false;
    departClosed();
    const auto sinks = opener->sinks;
    for (BrowserEventSink* sink : sinks) sink->NewWindow2(cancel);
    return cancel;
}

void SimBrowserShell::complete(const std::shared_ptr<SimBrowser>& window,
                               const std::optional<std::string>& body) {
    if (body) window->document = std::make_shared<SimDocument>(*body);
    departClosed();
    const auto sinks = window->sinks;
    for (BrowserEventSink* sink : sinks) sink->DocumentComplete(window, window->url);
}

}  // namespace vantrel::sim
