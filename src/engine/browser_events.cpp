#include "engine/browser_events.h"

#include "common/text.h"
#include "engine/ctrl_override.h"

namespace vantrel {

namespace {

// Only web addresses concern the engine; an empty one is none.
bool isWebAddress(const std::string& url) {
    return containsNoCase(url, "HTTP");
}

}  // namespace

BrowserEvents::BrowserEvents(const Settings& settings, Desktop& desktop, BrowserShell& browsers,
                             const UrlClassifier& classifier, KillLog& log, PopupKiller& killer,
                             PageScanner& scanner)
    : settings_(settings),
      desktop_(desktop),
      browsers_(browsers),
      classifier_(classifier),
      log_(log),
      killer_(killer),
      scanner_(scanner) {}

void BrowserEvents::ConnectBrowsers() {
    shellWindows_ = browsers_.createWindows();
    browsers_.listenWindowRegistered([this] { ShellWinEventsWindowRegistered(); });
    const int count = shellWindows_->Count();
    for (int index = 0; index < count; ++index) {
        const auto browser = shellWindows_->Item(index);
        if (!browser) throw BrowserError("a window of the collection is no browser");
        cookie_ = AdviseBrowser(browser);
    }
}

std::uint32_t BrowserEvents::AdviseBrowser(const std::shared_ptr<WebBrowser>& browser) {
    if (!browser) return 0;
    try {
        return browser->advise(*this);
    } catch (const BrowserError&) {
        return 0;
    }
}

void BrowserEvents::ShellWinEventsWindowRegistered() {
    if (!shellWindows_) return;
    try {
        const int count = shellWindows_->Count();
        cookie_ = AdviseBrowser(shellWindows_->Item(count - 1));
    } catch (const BrowserError&) {
    }
}

void BrowserEvents::WBEventsBeforeNavigate2(const std::shared_ptr<WebBrowser>& pDisp,
                                            const std::string& URL, bool& Cancel) {
    if (ctrlOverride(settings_, desktop_)) return;
    if (!isWebAddress(URL)) return;
    if (!pDisp) return;
    if (settings_.killurl == "1" && classifier_.CheckBannedUrl(URL)) {
        log_.tracklog(URL, true);
        Cancel = true;
    }
    if (settings_.killpop == "1" || settings_.killurl == "1") {
        killer_.killpopupad(pDisp);
        killer_.TimerKillPop.setEnabled(true);
    }
}

void BrowserEvents::SHDocVwDWebBrowserEvents21NewWindow2(bool& /*Cancel*/) {
    // The new window always opens; killing it is the sweep's business.
    if (ctrlOverride(settings_, desktop_)) return;
    if (settings_.killpop == "0") return;
    try {
        noteOpener();
    } catch (const BrowserError&) {
        // Entries noted before the failure stay.
    }
}

void BrowserEvents::noteOpener() {
    const WindowHandle foreground = desktop_.foregroundWindow();
    const auto windows = browsers_.createWindows();
    const int count = windows->Count();
    for (int index = 0; index < count; ++index) {
        const auto browser = windows->Item(index);
        if (!browser || browser->handle() != foreground) continue;
        const std::string handle = std::to_string(foreground);
        switch (killer_.openerMark(browser->LocationURL())) {
            case PopupKiller::OpenerMark::Allowed:
                killer_.AllowedOpeners.push_back(handle);
                break;
            case PopupKiller::OpenerMark::Banned:
                killer_.BannedOpeners.push_back(handle);
                break;
            case PopupKiller::OpenerMark::None:
                break;
        }
    }
}

void BrowserEvents::WindowOpening(const std::shared_ptr<WebBrowser>& opener, const std::string& URL,
                                  bool popUp, bool& Cancel) {
    // Other addresses (a blank window the opener fills or sends on) are left to the sweeps.
    if (!opener || !isWebAddress(URL)) return;
    if (!killer_.closesOpening(opener->LocationURL(), URL, popUp)) return;
    log_.tracklog(URL, true);
    Cancel = true;
}

void BrowserEvents::SHDocVwDWebBrowserEvents21DocumentComplete(
    const std::shared_ptr<WebBrowser>& pDisp, const std::string& URL) {
    if (ctrlOverride(settings_, desktop_)) return;
    if (!isWebAddress(URL)) return;
    if (settings_.killbanner == "1") scanner_.CheckDocument(pDisp);
    killer_.killpopupad(pDisp);
}

}  // namespace vantrel
