#include "engine/popup_killer.h"

#include "engine/ctrl_override.h"

namespace vantrel {

PopupKiller::PopupKiller(const Settings& settings, Desktop& desktop, BrowserShell& browsers,
                         const UrlClassifier& classifier, KillLog& log, EventLoop& loop)
    : TimerKillPop(
          loop, kDelayedSweep, [this] { TimerKillPopTimer(); }, true),
      settings_(settings),
      desktop_(desktop),
      browsers_(browsers),
      classifier_(classifier),
      log_(log) {}

void PopupKiller::TimerKillPopTimer() {
    TimerKillPop.setEnabled(false);
    killpopupad();
}

void PopupKiller::killpopupad(std::shared_ptr<WebBrowser> browser) {
    const auto held = std::move(browser);
    if (ctrlOverride(settings_, desktop_)) return;  // the marks wait for the next sweep
    try {
        visitWindows();
    } catch (const BrowserError&) {
        // A window that went away mid-sweep ends the visit; what was closed stays closed.
    }
    AllowedOpeners.clear();
    BannedOpeners.clear();
}

void PopupKiller::visitWindows() {
    const auto windows = browsers_.createWindows();
    const int count = windows->Count();
    // From 1 to Count: the collection's first window is never judged, and index Count has none.
    for (int index = 1; index <= count; ++index) {
        const auto window = windows->Item(index);
        if (window) judge(*window);
    }
}

void PopupKiller::judge(WebBrowser& window) {
    if (!AllowedOpeners.empty()) return;
    const int toolBar = window.ToolBar();
    const bool popupShaped = toolBar == 0 || !window.MenuBar();
    if (popupShaped && settings_.killpop == "1") {
        const std::string address = window.LocationURL();
        if (!classifier_.CheckExceptionList(address)) kill(window, address);
        return;
    }
    if (!BannedOpeners.empty()) {
        kill(window, window.LocationURL());
        return;
    }
    if (settings_.killurl != "1") return;
    const std::string address = window.LocationURL();
    if (classifier_.CheckBannedUrl(address)) kill(window, address);
}

void PopupKiller::kill(WebBrowser& window, const std::string& address) {
    log_.tracklog(address, true);
    window.Quit();
}

}  // namespace vantrel
