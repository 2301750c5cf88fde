#pragma once

#include "engine/domain_lists.h"
#include "engine/kill_log.h"
#include "platform/browser.h"
#include "platform/desktop.h"

namespace vantrel {

// Puts the site of the browser window in front onto a list. The window stays as it is; the
// change shows at the next engine decision.
class ForegroundSite {
  public:
    enum class Target { AllowedList, Blacklist };

    ForegroundSite(Desktop& desktop, BrowserShell& browsers, DomainLists& lists, KillLog& log);

    // The blacklist also counts and logs it as a kill. Nothing happens when the window in front
    // is no browser window; browser failures end it silently.
    void run(Target target);

  private:
    void add(Target target, const std::string& address);

    Desktop& desktop_;
    BrowserShell& browsers_;
    DomainLists& lists_;
    KillLog& log_;
};

}  // namespace vantrel
