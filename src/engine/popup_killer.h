#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/timer.h"
#include "engine/kill_log.h"
#include "engine/url_classifier.h"
#include "platform/browser.h"
#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "settings/settings.h"

namespace vantrel {

// The sweep over every browser window: closes pop-up shaped windows, windows on advertising
// addresses and, after a banned opener asked for a new window, full windows too.
class PopupKiller {
  public:
    static constexpr EventLoop::Millis kDelayedSweep = 2000;

    PopupKiller(const Settings& settings, Desktop& desktop, BrowserShell& browsers,
                const UrlClassifier& classifier, KillLog& log, EventLoop& loop);

    // One sweep. `browser` is the window whose event started it, held for the sweep's duration.
    void killpopupad(std::shared_ptr<WebBrowser> browser = nullptr);
    void TimerKillPopTimer();

    // The mark a foreground window at `address` leaves when it asks for a new window.
    enum class OpenerMark { None, Allowed, Banned };
    OpenerMark openerMark(const std::string& address) const;
    // Whether the sweep after a page at `openerAddress` opened a window at `address` (pop-up
    // shaped or not) closes that window: the opener marked as the new-window event marks it, the
    // window judged as every sweep judges it. False while the CTRL override holds.
    bool closesOpening(const std::string& openerAddress, const std::string& address,
                       bool popupShaped);

    // Decimal window handles of the foreground windows that asked for new windows since the last
    // sweep: on an allowed site, or on an advertising address.
    std::vector<std::string> AllowedOpeners;
    std::vector<std::string> BannedOpeners;
    // Created running: the first sweep comes one interval after start-up.
    Timer TimerKillPop;

  private:
    void visitWindows();
    void judge(WebBrowser& window);
    bool closes(bool popupShaped, const std::string& address, bool bannedOpener) const;
    void kill(WebBrowser& window, const std::string& address);

    const Settings& settings_;
    Desktop& desktop_;
    BrowserShell& browsers_;
    const UrlClassifier& classifier_;
    KillLog& log_;
};

}  // namespace vantrel
