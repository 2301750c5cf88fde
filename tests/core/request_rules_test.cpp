// The browser rules against the advertising test's verdicts, through a small evaluator of the
// rule semantics they use: a filter is a substring of the address in any letter case, a domain
// matches its host and the hosts under it, and the matched rule of highest priority decides.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "common/text.h"
#include "engine/domain_lists.h"
#include "engine/request_rules.h"
#include "engine/url_classifier.h"

namespace vantrel {
namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string hostOf(std::string_view url) {
    const size_t start = url.find("//");
    if (start == std::string_view::npos) return {};
    const std::string_view rest = url.substr(start + 2);
    return lower(rest.substr(0, rest.find_first_of("/:?#")));
}

// `url` and `host` lower case.
bool ruleMatches(const RequestRule& rule, const std::string& url, const std::string& host) {
    if (!rule.urlFilter.empty()) return url.find(rule.urlFilter) != std::string::npos;
    for (const auto& domain : rule.requestDomains) {
        if (host == domain) return true;
        if (host.size() > domain.size() && host.ends_with(domain) &&
            host[host.size() - domain.size() - 1] == '.')
            return true;
    }
    return false;
}

bool rulesBlock(const RequestRuleSet& set, std::string_view url) {
    const std::string lowerUrl = lower(url);
    const std::string host = hostOf(lowerUrl);
    const RequestRule* decisive = nullptr;
    for (const auto& rule : set.rules) {
        if (!ruleMatches(rule, lowerUrl, host)) continue;
        if (!decisive || rule.priority > decisive->priority ||
            (rule.priority == decisive->priority && rule.action == RequestRule::Action::Allow))
            decisive = &rule;
    }
    return decisive && decisive->action == RequestRule::Action::Block;
}

std::vector<std::string> dataLines(const std::string& name) {
    std::ifstream in(std::string(VANTREL_DATA_DIR) + "/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    std::vector<std::string> lines = parseListFile(out.str());
    EXPECT_FALSE(lines.empty()) << name << " missing under " << VANTREL_DATA_DIR;
    return lines;
}

struct Verdicts {
    size_t banned = 0;
    size_t blocked = 0;
};

// Every address a rule blocks is banned; with `exact`, every banned address is blocked too.
// The evaluator tries every rule, so the large lists compare a sample.
Verdicts compareOnData(const RequestRuleSet& set, const UrlClassifier& classifier, bool exact,
                       size_t stride) {
    Verdicts verdicts;
    for (const char* file : {"urls-requests.txt", "urls-sites.txt"}) {
        const std::vector<std::string> urls = dataLines(file);
        for (size_t i = 0; i < urls.size(); i += stride) {
            const std::string& url = urls[i];
            if (!url.starts_with("http")) continue;  // the browser's rules see web requests only
            const bool banned = classifier.CheckBannedUrl(url);
            const bool blocked = rulesBlock(set, url);
            verdicts.banned += banned;
            verdicts.blocked += blocked;
            EXPECT_TRUE(banned || !blocked) << "blocked but allowed: " << url;
            EXPECT_TRUE(!exact || blocked == banned) << url;
        }
    }
    return verdicts;
}

struct Lists {
    DomainList allowed;
    DomainList black;
};

// Every 97th blacklisted name is on the allowed list as well, so that allows count.
Lists listsFrom(const std::string& file) {
    Lists lists;
    lists.black.assign(dataLines(file));
    for (size_t i = 0; i < lists.black.size(); i += 97)
        lists.allowed.insertSorted(lists.black.at(i));
    return lists;
}

constexpr const char* kVendorIp = "203.0.113.7";

TEST(RequestRules, GiveTheTestsVerdictsWhenTheListFits) {
    const Lists lists = listsFrom("blacklist-10k.lis");
    const UrlClassifier classifier(lists.allowed, lists.black, kVendorIp);
    const RequestRuleSet set = requestRulesFor(lists.allowed, lists.black, kVendorIp);
    EXPECT_TRUE(set.allowsComplete);
    EXPECT_EQ(set.entriesPartlyCovered + set.entriesNotCovered, 0u);
    const Verdicts verdicts = compareOnData(set, classifier, true, 5);
    EXPECT_GT(verdicts.banned, 100u);  // the sample holds both verdicts
}

TEST(RequestRules, BeyondTheLimitBlockHostsOfTheRestAndNothingAllowed) {
    const Lists lists = listsFrom("blacklist-100k.lis");
    const UrlClassifier classifier(lists.allowed, lists.black, kVendorIp);
    const RequestRuleSet set = requestRulesFor(lists.allowed, lists.black, kVendorIp);
    ASSERT_LE(set.rules.size(), RequestRuleLimits{}.maxRules);
    EXPECT_GT(set.entriesPartlyCovered, 0u);
    compareOnData(set, classifier, false, 20);
    // A packed entry still blocks its own host and the hosts under it.
    const std::string& last = lists.black.entries().back();
    ASSERT_FALSE(lists.allowed.matches(last));
    EXPECT_TRUE(rulesBlock(set, "https://" + last + "/"));
    EXPECT_TRUE(rulesBlock(set, "https://www." + last + "/x"));
}

TEST(RequestRules, TightLimitsKeepTheCountAndNeverOverBlock) {
    DomainList allowed, black;
    allowed.insertSorted("good.example");
    for (int i = 0; i < 200; ++i) black.insertSorted("host" + std::to_string(i) + ".example");
    black.insertSorted("good.example.net");  // allowed: holds an allowed name
    const RequestRuleSet set =
        requestRulesFor(allowed, black, "", {.maxRules = 60, .domainsPerRule = 10});
    EXPECT_LE(set.rules.size(), 60u);
    EXPECT_EQ(set.entriesNotCovered, 0u);
    const UrlClassifier classifier(allowed, black, "");
    for (int i = 0; i < 200; ++i) {
        const std::string url = "http://host" + std::to_string(i) + ".example/page";
        EXPECT_TRUE(rulesBlock(set, url)) << url;
        EXPECT_TRUE(classifier.CheckBannedUrl(url));
    }
    EXPECT_FALSE(rulesBlock(set, "http://good.example.net/"));
    EXPECT_FALSE(rulesBlock(set, "http://plain.example/host5.example.org"))
        << "a packed entry matches by host only";
}

TEST(RequestRules, EntriesNoFilterCanHold) {
    DomainList allowed, black;
    black.insertSorted("Tracker.Example");
    black.insertSorted("tracker.example:1");  // the same name once synced: one rule
    black.insertSorted("wild*card.example");
    black.insertSorted("caf\xC3\xA9.example");  // never in an address the browser requests
    black.insertSorted("popup.example");        // the fragment's rule covers it
    const RequestRuleSet plain = requestRulesFor(allowed, black, "");
    EXPECT_EQ(plain.rules.size(),
              UrlClassifier::exemptions().size() + UrlClassifier::adFragments().size() + 1);
    EXPECT_EQ(plain.entriesNotCovered, 1u);
    EXPECT_TRUE(rulesBlock(plain, "https://TRACKER.example/"));

    // An allowed name no filter can hold could be blocked by any block rule: none is given.
    allowed.insertSorted("good|site.example");
    const RequestRuleSet noBlocks = requestRulesFor(allowed, black, "");
    EXPECT_FALSE(noBlocks.allowsComplete);
    EXPECT_TRUE(noBlocks.rules.empty());
}

// The browser's rules by id, each as its content.
using RulesById = std::map<int, std::string>;

std::string contentOf(const RequestRule& rule) {
    std::string content = std::to_string(rule.priority) +
                          (rule.action == RequestRule::Action::Allow ? " allow " : " block ") +
                          rule.urlFilter;
    for (const auto& domain : rule.requestDomains) content += " " + domain;
    return content;
}

RulesById byId(const RequestRuleSet& set) {
    RulesById rules;
    for (const auto& rule : set.rules) {
        EXPECT_GT(rule.id, 0);
        EXPECT_TRUE(rules.emplace(rule.id, contentOf(rule)).second) << "id twice: " << rule.id;
    }
    return rules;
}

// What the browser holds after the change: every removed id was there, every added one new.
RulesById applied(RulesById rules, const RequestRuleChange& change) {
    for (const int id : change.removedIds) EXPECT_EQ(rules.erase(id), 1u) << id;
    for (const auto& rule : change.addedRules) {
        EXPECT_TRUE(rules.emplace(rule.id, contentOf(rule)).second) << "id in use: " << rule.id;
    }
    return rules;
}

// Numbers the lists' next set and checks that the change turns the browser's rules into it.
struct Follower {
    RequestRuleIds ids;
    RulesById browser;

    RequestRuleChange follow(const Lists& lists) {
        RequestRuleSet set = requestRulesFor(lists.allowed, lists.black, kVendorIp);
        RequestRuleChange change = ids.number(set);
        browser = applied(browser, change);
        EXPECT_EQ(browser, byId(set));
        return change;
    }
};

TEST(RequestRuleIds, AChangeOfAListChangesItsOwnRuleAlone) {
    Lists lists = listsFrom("blacklist-10k.lis");
    Follower follower;
    const RequestRuleChange first = follower.follow(lists);
    EXPECT_TRUE(first.removedIds.empty());
    EXPECT_EQ(first.addedRules.size(), follower.browser.size());

    lists.black.insertSorted("new-tracker.example");
    RequestRuleChange change = follower.follow(lists);
    EXPECT_TRUE(change.removedIds.empty());
    ASSERT_EQ(change.addedRules.size(), 1u);
    EXPECT_EQ(change.addedRules[0].urlFilter, "new-tracker.example");

    lists.allowed.insertSorted("Friend.example");
    change = follower.follow(lists);
    EXPECT_TRUE(change.removedIds.empty());
    ASSERT_EQ(change.addedRules.size(), 1u);
    EXPECT_EQ(change.addedRules[0].action, RequestRule::Action::Allow);

    lists.black.removeAt(lists.black.size() / 2);
    change = follower.follow(lists);
    EXPECT_EQ(change.removedIds.size(), 1u);
    EXPECT_TRUE(change.addedRules.empty());

    // An entry marked as synced keeps its name, and the rules their ids.
    lists.black.replaceAt(0, lists.black.at(0) + std::string(kSyncedMark));
    EXPECT_TRUE(follower.follow(lists).empty());
}

TEST(RequestRuleIds, BeyondTheLimitAnEntryChangesAFewRulesAndAMergeOneChange) {
    Lists lists = listsFrom("blacklist-100k.lis");
    Follower follower;
    follower.follow(lists);
    const size_t total = follower.browser.size();

    // Sorted among the rules of their own: the new entry takes one, the last such entry goes
    // to its host pack.
    lists.black.insertSorted("0-new-tracker.example");
    RequestRuleChange change = follower.follow(lists);
    EXPECT_LE(change.removedIds.size(), 2u);
    EXPECT_LE(change.addedRules.size(), 3u);
    // Sorted among the packed names: one pack changes.
    lists.black.insertSorted("zzz-new-tracker.example");
    change = follower.follow(lists);
    EXPECT_EQ(change.removedIds.size(), 1u);
    EXPECT_EQ(change.addedRules.size(), 1u);
    lists.allowed.insertSorted("zzz-new-tracker.example");
    change = follower.follow(lists);
    EXPECT_LE(change.removedIds.size(), 3u);
    EXPECT_LE(change.addedRules.size(), 4u);

    // A merge of thousands of entries: one change, and most rules keep their ids.
    std::vector<std::string> merged = lists.black.entries();
    for (int i = 0; i < 3000; ++i) merged.push_back("merged-" + std::to_string(i) + ".example");
    lists.black.assign(std::move(merged));
    change = follower.follow(lists);
    EXPECT_LT(change.removedIds.size(), total / 10);
    EXPECT_EQ(follower.browser.size(), total);
}

}  // namespace
}  // namespace vantrel
