#include "platform/extension/rules_follower.h"

#include "engine/request_rules.h"

namespace vantrel::extension {

RulesFollower::RulesFollower(EventLoop& loop, const DomainList& allowedList,
                             const DomainList& blackList, std::string vendorServerIp,
                             ExtensionShell& shell)
    : loop_(loop),
      allowedList_(allowedList),
      blackList_(blackList),
      vendorServerIp_(std::move(vendorServerIp)),
      shell_(shell) {
    check();
}

RulesFollower::~RulesFollower() {
    loop_.cancel(next_);
}

void RulesFollower::check() {
    if (!sent_ || allowedList_.revision() != allowedRevision_ ||
        blackList_.revision() != blackRevision_) {
        sent_ = true;
        allowedRevision_ = allowedList_.revision();
        blackRevision_ = blackList_.revision();
        shell_.setRequestRules(requestRulesFor(allowedList_, blackList_, vendorServerIp_));
    }
    next_ = loop_.scheduleAt(loop_.now() + kCheckEveryMs, [this] { check(); });
}

}  // namespace vantrel::extension
