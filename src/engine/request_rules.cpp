#include "engine/request_rules.h"

#include <algorithm>
#include <set>

#include "common/text.h"
#include "engine/url_classifier.h"

namespace vantrel {
namespace {

enum class Literal { Usable, NeverInAddress, Unusable };

// A browser's address is ASCII without blanks or controls: a text holding anything else never
// matches it. '*', '^' and '|' mean wildcards, separators and anchors in a rule's filter.
Literal literalKind(std::string_view text) {
    if (text.empty()) return Literal::NeverInAddress;
    for (const char c : text) {
        if (c <= ' ' || c > '~') return Literal::NeverInAddress;
    }
    return text.find_first_of("*^|") == std::string_view::npos ? Literal::Usable
                                                               : Literal::Unusable;
}

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return lower;
}

// Host names only: those a rule may match by the request's host.
bool isHostName(std::string_view lower) {
    if (lower.front() == '.' || lower.back() == '.') return false;
    return std::all_of(lower.begin(), lower.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
    });
}

// Lower-case usable texts, each once, in the order given.
struct Literals {
    std::vector<std::string> texts;
    std::set<std::string> seen;
    std::size_t unusable = 0;

    void add(std::string_view text) {
        switch (literalKind(text)) {
            case Literal::NeverInAddress:
                return;
            case Literal::Unusable:
                ++unusable;
                return;
            case Literal::Usable:
                break;
        }
        std::string lower = lowerAscii(text);
        if (seen.insert(lower).second) texts.push_back(std::move(lower));
    }
};

RequestRule filterRule(RequestRule::Action action, std::string urlFilter) {
    RequestRule rule;
    rule.action = action;
    rule.priority = action == RequestRule::Action::Allow ? RequestRule::kAllowPriority
                                                         : RequestRule::kBlockPriority;
    rule.urlFilter = std::move(urlFilter);
    return rule;
}

bool holdsAdFragment(std::string_view lower) {
    const auto fragments = UrlClassifier::adFragments();
    return std::any_of(fragments.begin(), fragments.end(),
                       [&](std::string_view f) { return containsNoCase(lower, f); });
}

}  // namespace

RequestRuleSet requestRulesFor(const DomainList& allowedList, const DomainList& blackList,
                               std::string_view vendorServerIp, RequestRuleLimits limits) {
    RequestRuleSet set;

    Literals allows;
    for (std::string_view exemption : UrlClassifier::exemptions()) allows.add(exemption);
    if (!vendorServerIp.empty()) allows.add(vendorServerIp);
    for (const auto& entry : allowedList.entries()) allows.add(matchPattern(entry));

    Literals blocks;
    for (std::string_view fragment : UrlClassifier::adFragments()) blocks.add(fragment);
    const std::size_t fragmentCount = blocks.texts.size();
    for (const auto& entry : blackList.entries()) {
        const std::string_view pattern = matchPattern(entry);
        // The fragment's rule blocks every address that holds the entry already.
        if (!holdsAdFragment(pattern)) blocks.add(pattern);
    }

    if (allows.unusable > 0 || allows.texts.size() > limits.maxRules) {
        set.allowsComplete = false;
        set.entriesNotCovered = blocks.texts.size() - fragmentCount + blocks.unusable;
        return set;
    }
    for (auto& text : allows.texts) {
        set.rules.push_back(filterRule(RequestRule::Action::Allow, std::move(text)));
    }

    // The first `filters` block texts get a rule each; the host names among the rest share
    // `packs` rules, as few as leave the most room for rules of their own.
    const std::vector<std::string>& texts = blocks.texts;
    const std::size_t budget = limits.maxRules - set.rules.size();
    std::vector<std::size_t> hostNamesFrom(texts.size() + 1, 0);
    for (std::size_t i = texts.size(); i-- > 0;) {
        hostNamesFrom[i] = hostNamesFrom[i + 1] + (isHostName(texts[i]) ? 1 : 0);
    }
    std::size_t filters = std::min(texts.size(), budget);
    std::size_t packs = 0;
    const std::size_t perPack = std::max<std::size_t>(1, limits.domainsPerRule);
    while (filters > 0 && packs < (hostNamesFrom[filters] + perPack - 1) / perPack) {
        ++packs;
        filters = budget - packs;
    }

    for (std::size_t i = 0; i < filters; ++i) {
        set.rules.push_back(filterRule(RequestRule::Action::Block, texts[i]));
    }
    std::size_t pack = 0;  // index of the rule being filled, 0 for none
    for (std::size_t i = filters; i < texts.size(); ++i) {
        const bool packFull = pack == 0 || set.rules[pack].requestDomains.size() == perPack;
        if (!isHostName(texts[i]) || (packFull && set.rules.size() == limits.maxRules)) {
            ++set.entriesNotCovered;
            continue;
        }
        if (packFull) {
            pack = set.rules.size();
            set.rules.emplace_back();
        }
        set.rules[pack].requestDomains.push_back(texts[i]);
        ++set.entriesPartlyCovered;
    }
    set.entriesNotCovered += blocks.unusable;

    int id = 0;
    for (auto& rule : set.rules) rule.id = ++id;
    return set;
}

}  // namespace vantrel
