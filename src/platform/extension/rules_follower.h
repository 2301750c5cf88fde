#pragma once

#include <cstdint>
#include <string>

#include "engine/domain_list.h"
#include "platform/event_loop.h"
#include "platform/extension/extension_shell.h"

namespace vantrel::extension {

// Keeps the browsers' request rules made from the allowed list and the blacklist: at the start,
// and after every change of either list (the hot keys, the list pages, the daily exchange),
// found by looking at the lists' revisions every quarter of a second.
class RulesFollower {
  public:
    static constexpr EventLoop::Millis kCheckEveryMs = 250;

    RulesFollower(EventLoop& loop, const DomainList& allowedList, const DomainList& blackList,
                  std::string vendorServerIp, ExtensionShell& shell);
    ~RulesFollower();
    RulesFollower(const RulesFollower&) = delete;
    RulesFollower& operator=(const RulesFollower&) = delete;

  private:
    void check();

    EventLoop& loop_;
    const DomainList& allowedList_;
    const DomainList& blackList_;
    const std::string vendorServerIp_;
    ExtensionShell& shell_;
    std::uint64_t allowedRevision_ = 0;
    std::uint64_t blackRevision_ = 0;
    bool sent_ = false;
    EventLoop::TaskId next_ = 0;
};

}  // namespace vantrel::extension
