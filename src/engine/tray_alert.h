#pragma once

#include <string>

#include "common/timer.h"
#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "settings/settings.h"

namespace vantrel {

// The tray entry's part in a kill: the stop sign for about a second, and the entry brought back
// every ten seconds should the tray host have lost it.
class TrayAlert {
  public:
    static constexpr const char* kTip = "Vantrel";

    TrayAlert(const Settings& settings, Desktop& desktop, EventLoop& loop);

    // Shows the icon in the existing entry; only while blinking is on.
    void SetTrayIcon(TrayIcon icon);
    // The entry's tip, kept when the entry is brought back.
    void setTip(const std::string& tip);
    const std::string& tip() const { return tip_; }
    void TimerStopIconTimer();
    void TimerChageIconTimer();

    Timer TimerStopIcon;
    Timer TimerChageIcon;

  private:
    const Settings& settings_;
    Desktop& desktop_;
    std::string tip_ = kTip;
};

}  // namespace vantrel
