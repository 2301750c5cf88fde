#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/browser_recovery.h"
#include "engine/kill_log.h"
#include "engine/tray_alert.h"
#include "platform/browser_status.h"

namespace vantrel {

// Which browsers are watched, shown as a user of the tray looks for it: the tray tip names them
// ("Vantrel: watching Chromium 156, Firefox 153"), and the log gets a note when one connects or
// disconnects and when one let requests go on without a verdict. While the browser is gone, the
// recovery's tip stays; its "back" tip stays until the watched browsers change again.
class BrowserStatusReport {
  public:
    static constexpr const char* kNoneTip = "Vantrel: watching no browser";

    // `status` may be null: there is then nothing to report.
    BrowserStatusReport(BrowserStatus* status, TrayAlert& tray, KillLog& log,
                        const BrowserRecovery& recovery);
    ~BrowserStatusReport();
    BrowserStatusReport(const BrowserStatusReport&) = delete;
    BrowserStatusReport& operator=(const BrowserStatusReport&) = delete;

    // Reports the browsers watched now, and from then on every change; after the first
    // connection.
    void start();

  private:
    void browsersChanged();
    void noteUnanswered(const WatchedBrowser& browser);

    BrowserStatus* status_;
    TrayAlert& tray_;
    KillLog& log_;
    const BrowserRecovery& recovery_;
    std::vector<WatchedBrowser> watched_;
    // The tip for the browsers watched now, whether shown or held back for the recovery's.
    std::string tip_;
    // The last count of requests let go, of every browser process reported.
    std::map<std::int64_t, std::int64_t> unanswered_;
};

// "Firefox 153": the name and the major version.
std::string browserLabel(const WatchedBrowser& browser);

}  // namespace vantrel
