#pragma once

#include "common/timer.h"
#include "engine/browser_events.h"
#include "engine/tray_alert.h"
#include "platform/browser.h"
#include "platform/event_loop.h"

namespace vantrel {

// Watching across the browser's end. When the browser goes away (it ended, or the one attached
// to is gone), the tray tip says so and the browsers are connected again every few seconds, as
// at the start, until the browser answers; the tip then says it is back.
class BrowserRecovery {
  public:
    static constexpr const char* kLostTip =
        "Vantrel: the browser is gone. Watching again once it is back.";
    static constexpr const char* kBackTip = "Vantrel: the browser is back and watched again.";
    static constexpr EventLoop::Millis kRetryMs = 3000;

    BrowserRecovery(BrowserShell& browsers, BrowserEvents& events, TrayAlert& tray,
                    EventLoop& loop);

    // Listens for the browser's loss; after the first connection.
    void start();
    void BrowserLost();
    void TimerReconnectTimer();
    bool lost() const { return TimerReconnect.enabled(); }

    Timer TimerReconnect;

  private:
    BrowserShell& browsers_;
    BrowserEvents& events_;
    TrayAlert& tray_;
};

}  // namespace vantrel
