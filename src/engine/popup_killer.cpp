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
    const bool popupShaped = window.ToolBar() == 0 || !window.MenuBar();
    const std::string address = window.LocationURL();
    if (closes(popupShaped, address, !BannedOpeners.empty())) kill(window, address);
}

bool PopupKiller::closes(bool popupShaped, const std::string& address, bool bannedOpener) const {
    if (popupShaped && settings_.killpop == "1") return !classifier_.CheckExceptionList(address);
    if (bannedOpener) return true;
    return settings_.killurl == "1" && classifier_.CheckBannedUrl(address);
}

PopupKiller::OpenerMark PopupKiller::openerMark(const std::string& address) const {
    if (classifier_.CheckExceptionList(address)) return OpenerMark::Allowed;
    if (classifier_.CheckBannedUrl(address)) return OpenerMark::Banned;
    return OpenerMark::None;
}

bool PopupKiller::closesOpening(const std::string& openerAddress, const std::string& address,
                                bool popupShaped) {
    if (ctrlOverride(settings_, desktop_)) return false;
    // With killpop "0" the new-window event marks no opener.
    const OpenerMark mark = settings_.killpop == "1" ? openerMark(openerAddress) : OpenerMark::None;
    if (mark == OpenerMark::Allowed) return false;
    return closes(popupShaped, address, mark == OpenerMark::Banned);
}

void PopupKiller::kill(WebBrowser& window, const std::string& address) {
    log_.tracklog(address, true);
    window.Quit();
}

}  // namespace vantrel
