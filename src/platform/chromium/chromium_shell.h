#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "platform/browser.h"
#include "platform/chromium/chromium_process.h"
#include "platform/chromium/target_tracker.h"
#include "platform/chromium/window_list.h"
#include "platform/chromium/x11_active_window.h"
#include "platform/event_loop.h"
#include "settings/settings.h"

namespace vantrel::chromium {

struct ChromiumOptions {
    // Empty: start the browser. Otherwise the DevTools endpoint of a running browser: a ws://
    // address, host:port, or the path of a DevToolsActivePort file.
    std::string attach;
    LaunchOptions launch;
    // The program folder, ending with "/": its placeholder pictures are shown as data URLs.
    std::string programFolder;
};

// The options the configuration values vtr_browser and vtr_browser_cmd stand for: the user's
// own profile, the browser started and held by the keeper installed beside the program, so it
// stays when Vantrel ends.
ChromiumOptions browserOptions(const Configuration& configuration, std::string programFolder);

// The user's Chromium as the engine's window collection. The connection is made by the first
// createWindows() or listenWindowRegistered(); the I/O runs on the connection's thread and
// every event reaches the engine through the loop's post.
class ChromiumShell : public BrowserShell {
  public:
    ChromiumShell(EventLoop& loop, ChromiumOptions options);
    ~ChromiumShell() override;
    ChromiumShell(const ChromiumShell&) = delete;
    ChromiumShell& operator=(const ChromiumShell&) = delete;

    std::unique_ptr<BrowserWindows> createWindows() override;
    void listenWindowRegistered(std::function<void()> onWindowRegistered) override;
    // The connection ended without close(): the browser ended, the keeper restarts it, or the
    // attached browser went away. The next connect() makes a new connection, except to a
    // browser whose pipe the shell held itself (no keeper): that one has ended for good.
    void listenConnectionLost(std::function<void()> onLost) override;

    // Connects now if not yet connected. Throws BrowserError.
    void connect();
    // Resumes everything that waits for Vantrel and closes the connection for good.
    void close();

    // The window whose page has focus, when the X11 window in front belongs to the browser (or,
    // while the browser's own address bar has the focus, the window whose page last had it in
    // that X11 window); 0 otherwise. Only the X server is asked, never the browser.
    WindowHandle foregroundWindow();

    // `onChanged` runs on the main thread when the connection is made (within the call that
    // makes it) and when it is lost.
    void listenConnectionChanged(std::function<void()> onChanged) {
        onConnectionChanged_ = std::move(onChanged);
    }
    bool connected() const { return connected_; }
    // The browser's version as it reports it ("156.0.7500.0"); empty before the connection.
    const std::string& version() const { return version_; }

    // The browser's process id (0 when unknown).
    pid_t browserPid() const { return browserPid_; }
    // The browser started with its pipe held here, null when attached to a running one or
    // reached through the keeper.
    ChromiumProcess* process() const { return process_; }
    // The raw connection, for tools and tests that drive the browser themselves.
    CdpConnection& connection();

  private:
    std::unique_ptr<CdpTransport> openTransport();
    void connectionLost();
    X11ActiveWindow& x11();

    EventLoop& loop_;
    ChromiumOptions options_;
    std::shared_ptr<WindowList> windows_;
    std::shared_ptr<TargetTracker> tracker_;
    ChromiumProcess* process_ = nullptr;
    pid_t browserPid_ = 0;
    std::unique_ptr<X11ActiveWindow> x11_;
    std::function<void()> onLost_;
    std::function<void()> onConnectionChanged_;
    std::string version_;
    bool connected_ = false;
    bool closed_ = false;
};

}  // namespace vantrel::chromium
