#include "platform/extension/browser_watch.h"

#include <ostream>
#include <utility>

#include "platform/posix/user_socket.h"

namespace vantrel::extension {

BrowserWatch::BrowserWatch(EventLoop& loop, chromium::ChromiumOptions options, std::ostream& report)
    : report_(report), extension_(loop, options.programFolder) {
    std::vector<BrowserShell*> shells;
    if (options.attach != kExtensionOnly) {
        devTools_ = std::make_unique<chromium::ChromiumShell>(loop, std::move(options));
        shells.push_back(devTools_.get());
        extension_.setWatchedElsewhere(
            [devTools = devTools_.get()](pid_t pid) { return pid == devTools->browserPid(); });
        devTools_->listenConnectionChanged([this] { browsersChanged(); });
    }
    shells.push_back(&extension_);
    composite_ = std::make_unique<CompositeBrowserShell>(std::move(shells));
    extension_.setOnBrowsersChanged([this] {
        reportBrowsers();
        browsersChanged();
    });
    try {
        server_ = std::make_unique<WatchServer>(loop, extension_, watchSocketName());
        if (!server_->listening())
            report_ << "Vantrel: another copy watches through the extension\n";
    } catch (const posix::UserSocketError& e) {
        report_ << "Vantrel: cannot watch through the extension: " << e.what() << '\n';
    }
    report_.flush();
}

BrowserWatch::~BrowserWatch() {
    extension_.setOnBrowsersChanged({});
    if (devTools_) devTools_->listenConnectionChanged({});
}

std::vector<WatchedBrowser> BrowserWatch::watchedBrowsers() {
    std::vector<WatchedBrowser> watched;
    if (devTools_ && devTools_->connected()) {
        watched.push_back({0, devTools_->browserPid(), "Chromium", devTools_->version(),
                           WatchedBrowser::Way::DevTools, 0});
    }
    for (const auto& browser : extension_.browsers()) {
        if (!browser.watched) continue;
        watched.push_back({browser.connection, browser.pid, browser.label(), browser.version,
                           WatchedBrowser::Way::Extension, browser.unanswered});
    }
    return watched;
}

void BrowserWatch::browsersChanged() {
    if (onBrowsersChanged_) onBrowsersChanged_();
}

WindowHandle BrowserWatch::foregroundWindow() {
    if (devTools_) {
        if (const WindowHandle front = devTools_->foregroundWindow()) return front;
    }
    return extension_.foregroundWindow(x11_.ownerPid(x11_.window()));
}

void BrowserWatch::reportBrowsers() {
    const auto browsers = extension_.browsers();
    report_ << "Vantrel: browsers watched through the extension:";
    int watched = 0;
    for (const auto& browser : browsers) {
        if (!browser.watched) continue;
        report_ << (watched++ ? ", " : " ") << browser.name() << " (process " << browser.pid;
        if (browser.unanswered) {
            report_ << ", " << browser.unanswered
                    << (browser.unanswered == 1 ? " request" : " requests")
                    << " went on without a verdict";
        }
        if (!browser.rulesError.empty()) {
            report_ << ", request rules refused: " << browser.rulesError;
        } else if (browser.rules) {
            report_ << ", " << browser.rules << " request rules (" << browser.rulesMs << " ms)";
        }
        report_ << ")";
    }
    if (watched == 0) report_ << " none";
    if (const auto refused = extension_.refusedMessages()) {
        report_ << "; " << refused << " messages refused";
    }
    report_ << '\n';
    for (const auto& browser : browsers) {
        if (browser.watched) continue;
        report_ << "Vantrel: " << browser.name() << " (process " << browser.pid
                << ") is watched over the DevTools protocol, not through its extension\n";
    }
    report_.flush();
}

}  // namespace vantrel::extension
