#include "engine/request_rules.h"

#include <algorithm>
#include <cstdint>
#include <set>

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

// A rule's content as one text; filters and host names hold neither blanks nor controls.
std::string contentOf(const RequestRule& rule) {
    std::string content = std::to_string(rule.priority);
    content += rule.action == RequestRule::Action::Allow ? " allow " : " block ";
    if (!rule.urlFilter.empty()) return content + rule.urlFilter;
    for (const auto& domain : rule.requestDomains) (content += '\n') += domain;
    return content;
}

// The pack of a host name among `packs`: a hash of its text (FNV-1a), the same in every run.
std::size_t packOf(std::string_view name, std::size_t packs) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return std::size_t(hash % packs);
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
        if (!UrlClassifier::holdsAdFragment(pattern)) blocks.add(pattern);
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
    // Each host name goes to the pack its text picks, so that one more or one less name
    // changes one pack, not every pack after it.
    const std::size_t firstPack = set.rules.size();
    set.rules.resize(firstPack + packs);
    std::size_t packed = 0;
    for (std::size_t i = filters; i < texts.size(); ++i) {
        if (!isHostName(texts[i]) || packed == packs * perPack) {
            ++set.entriesNotCovered;
            continue;
        }
        set.rules[firstPack + packOf(texts[i], packs)].requestDomains.push_back(texts[i]);
        ++packed;
    }
    set.entriesPartlyCovered = packed;
    std::erase_if(set.rules, [](const RequestRule& rule) {
        return rule.urlFilter.empty() && rule.requestDomains.empty();
    });
    set.entriesNotCovered += blocks.unusable;
    return set;
}

RequestRuleChange RequestRuleIds::number(RequestRuleSet& set) {
    RequestRuleChange change;
    std::unordered_map<std::string, int> ids;
    ids.reserve(set.rules.size());
    for (auto& rule : set.rules) {
        std::string content = contentOf(rule);
        const auto kept = ids_.find(content);
        if (kept != ids_.end()) {
            rule.id = kept->second;
            ids_.erase(kept);
        } else {
            rule.id = ++lastId_;
            change.addedRules.push_back(rule);
        }
        ids.emplace(std::move(content), rule.id);
    }
    for (const auto& [content, id] : ids_) change.removedIds.push_back(id);
    std::sort(change.removedIds.begin(), change.removedIds.end());
    ids_ = std::move(ids);
    return change;
}

}  // namespace vantrel
