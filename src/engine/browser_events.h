#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/kill_log.h"
#include "engine/page_scanner.h"
#include "engine/popup_killer.h"
#include "engine/url_classifier.h"
#include "platform/browser.h"
#include "platform/desktop.h"
#include "settings/settings.h"

namespace vantrel {

// The one sink connected to every browser window, and the decisions on its events.
class BrowserEvents : public BrowserEventSink {
  public:
    BrowserEvents(const Settings& settings, Desktop& desktop, BrowserShell& browsers,
                  const UrlClassifier& classifier, KillLog& log, PopupKiller& killer,
                  PageScanner& scanner);

    // Connects to the window collection and every open window. Throws BrowserError when the
    // browser cannot be reached or a window of the collection is no browser.
    void ConnectBrowsers();
    // Connects this sink to one window; 0 when nothing was connected. Never throws.
    std::uint32_t AdviseBrowser(const std::shared_ptr<WebBrowser>& browser);
    // A window joined the collection: the newest one is connected.
    void ShellWinEventsWindowRegistered();

    void WBEventsBeforeNavigate2(const std::shared_ptr<WebBrowser>& pDisp, const std::string& URL,
                                 bool& Cancel);
    void SHDocVwDWebBrowserEvents21NewWindow2(bool& Cancel);
    void SHDocVwDWebBrowserEvents21DocumentComplete(const std::shared_ptr<WebBrowser>& pDisp,
                                                    const std::string& URL);
    // A page asks for a new window that the browser has not made yet: refused, and logged as a
    // closed pop-up, when the sweep after its opening would close it.
    void WindowOpening(const std::shared_ptr<WebBrowser>& opener, const std::string& URL,
                       bool popUp, bool& Cancel) override;

    void BeforeNavigate2(const std::shared_ptr<WebBrowser>& pDisp, const std::string& URL,
                         bool& Cancel) override {
        WBEventsBeforeNavigate2(pDisp, URL, Cancel);
    }
    void NewWindow2(bool& Cancel) override { SHDocVwDWebBrowserEvents21NewWindow2(Cancel); }
    void DocumentComplete(const std::shared_ptr<WebBrowser>& pDisp,
                          const std::string& URL) override {
        SHDocVwDWebBrowserEvents21DocumentComplete(pDisp, URL);
    }

    // The cookie of the last connection made.
    std::uint32_t cookie() const { return cookie_; }

  private:
    void noteOpener();

    const Settings& settings_;
    Desktop& desktop_;
    BrowserShell& browsers_;
    const UrlClassifier& classifier_;
    KillLog& log_;
    PopupKiller& killer_;
    PageScanner& scanner_;
    std::unique_ptr<BrowserWindows> shellWindows_;
    std::uint32_t cookie_ = 0;
};

}  // namespace vantrel
