#include "platform/chromium/chromium_shell.h"

#include "platform/chromium/keeper_connection.h"
#include "platform/chromium/websocket_transport.h"

namespace vantrel::chromium {

namespace {

// A started browser answers in about 0.3 s; a slow machine gets ample room.
constexpr CdpConnection::Millis kConnectTimeout{15000};

}  // namespace

ChromiumOptions browserOptions(const Configuration& configuration, std::string programFolder) {
    ChromiumOptions options;
    options.attach = configuration.vtr_browser;
    options.launch.command = configuration.vtr_browser_cmd;
    options.launch.keeper = installedKeeper();
    options.programFolder = std::move(programFolder);
    return options;
}

ChromiumShell::ChromiumShell(EventLoop& loop, ChromiumOptions options)
    : loop_(loop), options_(std::move(options)) {}

ChromiumShell::~ChromiumShell() {
    close();
    // The collection may outlive the shell in the engine's hands.
    if (windows_) {
        windows_->setFrontWindowProbe({});
        windows_->setOnGone({});
    }
}

std::unique_ptr<CdpTransport> ChromiumShell::openTransport() {
    if (!options_.attach.empty()) return connectWebSocket(options_.attach, kConnectTimeout);
    if (!options_.launch.keeper.empty()) {
        return connectThroughKeeper(options_.launch, kConnectTimeout);
    }
    auto process = std::make_unique<ChromiumProcess>(options_.launch);
    process_ = process.get();
    browserPid_ = process->pid();
    return process;
}

void ChromiumShell::connect() {
    if (tracker_) return;
    if (closed_) throw BrowserError("the connection to the browser was closed");
    std::unique_ptr<CdpTransport> transport = openTransport();
    auto windows = std::make_shared<WindowList>(
        loop_, std::make_shared<page::PlaceholderImages>(options_.programFolder));
    auto tracker = std::make_shared<TargetTracker>(
        std::make_unique<CdpConnection>(std::move(transport)), loop_, windows);
    windows->setControl(tracker);
    windows->setFrontWindowProbe([this] { return x11().window(); });
    windows->setOnGone([this, list = windows.get()] {
        if (list == windows_.get()) connectionLost();
    });
    try {
        const Json about =
            tracker->connection().call("Browser.getVersion", Json::object(), {}, kConnectTimeout);
        // "Chrome/156.0.7500.0", "HeadlessChrome/156.0.7500.0"
        const std::string product = about.value("product", "");
        version_ = product.substr(product.find('/') + 1);
        for (const auto& w : tracker->start()) {
            windows->windowCreated(w.targetId, w.url, !w.popUp, !w.popUp);
        }
    } catch (const BrowserError&) {
        tracker->close();
        process_ = nullptr;
        browserPid_ = 0;
        throw;
    }
    if (!browserPid_) {
        // Attached or through the keeper: the foreground test needs the browser's process id.
        try {
            const Json info = tracker->connection().call("SystemInfo.getProcessInfo");
            for (const auto& p : info.value("processInfo", Json::array())) {
                if (p.value("type", "") == "browser") browserPid_ = p.value("id", 0);
            }
        } catch (const BrowserError&) {
        }
    }
    windows_ = std::move(windows);
    tracker_ = std::move(tracker);
    connected_ = true;
    if (onConnectionChanged_) onConnectionChanged_();
}

void ChromiumShell::close() {
    closed_ = true;
    connected_ = false;
    if (tracker_) tracker_->close();
}

void ChromiumShell::listenConnectionLost(std::function<void()> onLost) {
    onLost_ = std::move(onLost);
}

void ChromiumShell::connectionLost() {
    if (closed_ || !tracker_) return;
    // A browser whose pipe the shell held itself has ended for good, and its connection stays
    // as it is, closed. One through the keeper, or attached, is reached afresh.
    if (!process_) {
        tracker_->close();
        tracker_.reset();
        browserPid_ = 0;
    }
    connected_ = false;
    // The loss first: what listens for the change then knows that the browser is gone.
    if (onLost_) onLost_();
    if (onConnectionChanged_) onConnectionChanged_();
}

std::unique_ptr<BrowserWindows> ChromiumShell::createWindows() {
    connect();
    return std::make_unique<LiveWindows>(windows_);
}

void ChromiumShell::listenWindowRegistered(std::function<void()> onWindowRegistered) {
    connect();
    windows_->setOnRegistered(std::move(onWindowRegistered));
}

WindowHandle ChromiumShell::foregroundWindow() {
    if (!windows_ || !browserPid_) return 0;
    const unsigned front = x11().window();
    if (x11().ownerPid(front) != browserPid_) return 0;
    return windows_->focusedWindow(front);
}

X11ActiveWindow& ChromiumShell::x11() {
    if (!x11_) x11_ = std::make_unique<X11ActiveWindow>();
    return *x11_;
}

CdpConnection& ChromiumShell::connection() {
    connect();
    return tracker_->connection();
}

}  // namespace vantrel::chromium
