#include "engine/browser_recovery.h"

namespace vantrel {

BrowserRecovery::BrowserRecovery(BrowserShell& browsers, BrowserEvents& events, TrayAlert& tray,
                                 EventLoop& loop)
    : TimerReconnect(loop, kRetryMs, [this] { TimerReconnectTimer(); }),
      browsers_(browsers),
      events_(events),
      tray_(tray) {}

void BrowserRecovery::start() {
    browsers_.listenConnectionLost([this] { BrowserLost(); });
}

void BrowserRecovery::BrowserLost() {
    tray_.setTip(kLostTip);
    TimerReconnect.setEnabled(true);
}

void BrowserRecovery::TimerReconnectTimer() {
    try {
        events_.ConnectBrowsers();
    } catch (const BrowserError&) {
        return;  // tried again at the next tick
    }
    TimerReconnect.setEnabled(false);
    tray_.setTip(kBackTip);
}

}  // namespace vantrel
