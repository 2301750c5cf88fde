#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/domain_list.h"

namespace vantrel {

// A browser's declarative rule for document requests (main frames and frames): a block or an
// allow, matched either by a substring of the address in any letter case (`urlFilter`) or by the
// request's host being one of `requestDomains` or under one.
struct RequestRule {
    enum class Action { Block, Allow };
    static constexpr int kBlockPriority = 1;
    static constexpr int kAllowPriority = 2;

    int id = 0;  // given by RequestRuleIds
    int priority = kBlockPriority;
    Action action = Action::Block;
    std::string urlFilter;  // empty when the rule matches by requestDomains
    std::vector<std::string> requestDomains;
};

struct RequestRuleLimits {
    // The browser's limit on an extension's dynamic rules of the block and allow kinds.
    std::size_t maxRules = 30000;
    // Host names packed into one rule, on average, when the blacklist does not fit one rule per
    // entry.
    std::size_t domainsPerRule = 1000;
};

struct RequestRuleSet {
    std::vector<RequestRule> rules;
    // Blacklist entries that no rule covers whole: addresses that hold them other than as their
    // host (or, for entries no rule can hold, at all) go on to the server, and the verdict on the
    // navigation turns the page back afterwards.
    std::size_t entriesPartlyCovered = 0;
    std::size_t entriesNotCovered = 0;
    // False when the allowed list cannot be given whole; no block rule is given then, as one
    // could block an allowed address.
    bool allowsComplete = true;
};

// Rules under which a request is blocked exactly when the advertising test bans its address: an
// advertising fragment or a blacklisted domain blocks, an exemption, the vendor server's address
// (when not empty) or an allowed domain allows, and every allow outranks every block. Beyond the
// limits, rules block less than the test bans, never more.
RequestRuleSet requestRulesFor(const DomainList& allowedList, const DomainList& blackList,
                               std::string_view vendorServerIp, RequestRuleLimits limits = {});

// What turns the rules of one set into those of the next.
struct RequestRuleChange {
    std::vector<int> removedIds;
    std::vector<RequestRule> addedRules;

    bool empty() const { return removedIds.empty() && addedRules.empty(); }
};

// Numbers the rules of successive sets so that a rule keeps its id for as long as a set holds
// it unchanged: the browser needs to be sent only the rules that changed.
class RequestRuleIds {
  public:
    // Gives every rule of `set` its id (that of the same rule in the set numbered before, or an
    // id never given yet) and returns how the set before becomes this one; the first time,
    // every rule is added.
    RequestRuleChange number(RequestRuleSet& set);

  private:
    std::unordered_map<std::string, int> ids_;  // a rule's content: its id
    int lastId_ = 0;
};

}  // namespace vantrel
