#include "platform/extension/rules_follower.h"

namespace vantrel::extension {

RulesFollower::RulesFollower(EventLoop& loop, const DomainList& allowedList,
                             const DomainList& blackList, std::string vendorServerIp,
                             ExtensionShell& shell)
    : loop_(loop),
      allowedList_(allowedList),
      blackList_(blackList),
      vendorServerIp_(std::move(vendorServerIp)),
      shell_(shell),
      allowedChanges_(allowedList.listen([this] { listsChanged(); })),
      blackChanges_(blackList.listen([this] { listsChanged(); })) {
    update();
}

RulesFollower::~RulesFollower() {
    loop_.cancel(pending_);
}

void RulesFollower::listsChanged() {
    if (pending_ == 0) pending_ = loop_.scheduleAt(loop_.now(), [this] { update(); });
}

void RulesFollower::update() {
    pending_ = 0;
    RequestRuleSet set = requestRulesFor(allowedList_, blackList_, vendorServerIp_);
    const RequestRuleChange change = ids_.number(set);
    shell_.setRequestRules(set, change);
}

}  // namespace vantrel::extension
