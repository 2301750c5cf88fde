#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "platform/browser.h"
#include "platform/browser_status.h"
#include "platform/chromium/chromium_shell.h"
#include "platform/chromium/x11_active_window.h"
#include "platform/extension/composite_browser_shell.h"
#include "platform/extension/extension_shell.h"
#include "platform/extension/watch_server.h"

namespace vantrel::extension {

// The value of vtr_browser that watches through the extension alone.
inline constexpr const char* kExtensionOnly = "extension";

// The ways Vantrel watches the user's browsers, chosen by vtr_browser: over the DevTools
// protocol (the browser it starts when empty, or the endpoint it names) and, beside it,
// through the extension (every browser whose extension connects); "extension": the extension
// alone. A browser that is watched over the DevTools protocol is not watched twice. Which
// browsers are connected is written to `report` whenever that changes, and told to the
// listener of the browser status.
class BrowserWatch : public BrowserStatus {
  public:
    BrowserWatch(EventLoop& loop, chromium::ChromiumOptions options, std::ostream& report);
    ~BrowserWatch() override;
    BrowserWatch(const BrowserWatch&) = delete;
    BrowserWatch& operator=(const BrowserWatch&) = delete;

    BrowserShell& shell() { return *composite_; }
    // The window of either adapter whose page is in front; 0 when none.
    WindowHandle foregroundWindow();
    ExtensionShell& extension() { return extension_; }
    // Null when the DevTools protocol is not used.
    chromium::ChromiumShell* devTools() { return devTools_.get(); }

    std::vector<WatchedBrowser> watchedBrowsers() override;
    void listenBrowsersChanged(std::function<void()> onChanged) override {
        onBrowsersChanged_ = std::move(onChanged);
    }

  private:
    void reportBrowsers();
    void browsersChanged();

    std::ostream& report_;
    std::unique_ptr<chromium::ChromiumShell> devTools_;
    ExtensionShell extension_;
    std::unique_ptr<WatchServer> server_;
    std::unique_ptr<CompositeBrowserShell> composite_;
    chromium::X11ActiveWindow x11_;
    std::function<void()> onBrowsersChanged_;
};

}  // namespace vantrel::extension
