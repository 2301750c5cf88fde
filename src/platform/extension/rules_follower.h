#pragma once

#include <string>

#include "common/change_listeners.h"
#include "engine/domain_list.h"
#include "engine/request_rules.h"
#include "platform/event_loop.h"
#include "platform/extension/extension_shell.h"

namespace vantrel::extension {

// Keeps the browsers' request rules made from the allowed list and the blacklist: at the start,
// and in the loop's next turn after the lists changed (the hot keys, the list pages, the daily
// exchange), however many changes came in between. Only the rules that changed are sent.
class RulesFollower {
  public:
    RulesFollower(EventLoop& loop, const DomainList& allowedList, const DomainList& blackList,
                  std::string vendorServerIp, ExtensionShell& shell);
    ~RulesFollower();
    RulesFollower(const RulesFollower&) = delete;
    RulesFollower& operator=(const RulesFollower&) = delete;

  private:
    void listsChanged();
    void update();

    EventLoop& loop_;
    const DomainList& allowedList_;
    const DomainList& blackList_;
    const std::string vendorServerIp_;
    ExtensionShell& shell_;
    RequestRuleIds ids_;
    EventLoop::TaskId pending_ = 0;
    ChangeListeners::Subscription allowedChanges_;
    ChangeListeners::Subscription blackChanges_;
};

}  // namespace vantrel::extension
