#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "common/text.h"
#include "engine/domain_list.h"
#include "engine/domain_lists.h"

using vantrel::DomainList;
using vantrel::DomainOfUrl;
using vantrel::entryLess;
using vantrel::toUpperAscii;

TEST(DomainOfUrl, ReducesAddressesToTheirHost) {
    EXPECT_EQ(DomainOfUrl("http://www.ExAmple.COM:8080/path/x.html?q=1"), "ExAmple.COM");
    EXPECT_EQ(DomainOfUrl("http://WWW.Example.com/"), "WWW.Example.com");  // only lower case "www."
    EXPECT_EQ(DomainOfUrl("http://newwww.site.org/"), "site.org");         // "www." inside a word
    EXPECT_EQ(DomainOfUrl("example.com/a/b"), "example.com");              // no scheme
    EXPECT_EQ(DomainOfUrl("user:pw@host.net/x"), "user");                  // ":" before the host
    EXPECT_EQ(DomainOfUrl("https://a//b/c"), "a");                         // first "//" only
    EXPECT_EQ(DomainOfUrl(" spaced .com "), " spaced .com ");              // no trimming
    EXPECT_EQ(DomainOfUrl("Popup ad"), "Popup ad");
    EXPECT_EQ(DomainOfUrl(""), "");
    EXPECT_EQ(DomainOfUrl("http://"), "");
}

TEST(DomainList, OrderIsCaseFoldedThenByBytesAndTotal) {
    EXPECT_TRUE(entryLess("abc", "ABD"));
    EXPECT_TRUE(entryLess("ABC", "abc"));  // equal when folded: bytes decide
    EXPECT_FALSE(entryLess("abc", "ABC"));
    EXPECT_FALSE(entryLess("abc", "abc"));
    EXPECT_TRUE(entryLess("a.com", "a.com:1"));
    EXPECT_TRUE(entryLess("z", "\xe9"));  // bytes above 127 sort after ASCII

    DomainList list;
    for (const char* e : {"b.com", "A.com", "a.com", "c.com", "B.COM"}) list.insertSorted(e);
    EXPECT_EQ(list.entries(),
              (std::vector<std::string>{"A.com", "a.com", "B.COM", "b.com", "c.com"}));
    DomainList bulk;
    bulk.assign({"c.com", "B.COM", "a.com", "b.com", "A.com"});
    EXPECT_EQ(bulk.entries(), list.entries());
    EXPECT_EQ(list.insertSorted("aa.com"), 2u);
}

TEST(DomainList, ContainsDomainInAnyCaseWithOrWithoutTheMark) {
    DomainList list;
    list.assign({"Example.com:1", "other.org", "x.net:2"});
    EXPECT_TRUE(list.containsDomain("EXAMPLE.COM"));
    EXPECT_TRUE(list.containsDomain("OTHER.org"));
    EXPECT_FALSE(list.containsDomain("other"));
    EXPECT_FALSE(list.containsDomain("x.net"));  // only ":1" is the synced mark
    EXPECT_FALSE(list.containsDomain("example"));
}

TEST(DomainList, OnlyEntriesLongerThanThreeWithADomainMatch) {
    DomainList list;
    list.assign({"abc", "xy:1", ":1234", "", "Good.com"});
    ASSERT_EQ(list.entries(), (std::vector<std::string>{"", ":1234", "abc", "Good.com", "xy:1"}));
    EXPECT_FALSE(list.matches("HTTP://ABC.NET/:1234"));  // three characters; empty domains
    EXPECT_TRUE(list.matches("HTTP://XY.NET/"));         // "xy:1" is four characters
    list.replaceAt(2, "abc:1");  // the mark makes "abc" take part, at the same index
    list.replaceAt(3, "Go");
    EXPECT_EQ(list.at(2), "abc:1");
    EXPECT_TRUE(list.matches("HTTP://ABC.NET/"));
    EXPECT_FALSE(list.matches("HTTP://GOOD.COM/"));
    list.removeAt(2);
    EXPECT_FALSE(list.matches("HTTP://ABC.NET/"));
    for (const char* url : {"HTTP://ABC.NET/:1234", "HTTP://XY.NET/", "HTTP://GO/"}) {
        EXPECT_EQ(list.matches(url), list.matchesUpperLinear(url)) << url;
    }
}

TEST(DomainList, AnEntryMatchesAnywhereInTheUrl) {
    DomainList list;
    list.insertSorted("good.com");
    for (const char* url : {"http://GOOD.com/", "http://other.net/?u=http://good.com/",
                            "http://x.org/good.com/page"}) {
        EXPECT_TRUE(list.matches(toUpperAscii(url))) << url;
    }
    EXPECT_FALSE(list.matches(toUpperAscii("http://good.co/")));
}

// Small alphabet so that entries overlap, repeat and nest in one another.
std::string randomText(std::mt19937& rng, size_t maxLength) {
    static const std::string letters = "abAB.:1";
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<size_t> pick(0, letters.size() - 1);
    std::string text(length(rng), ' ');
    for (char& c : text) c = letters[pick(rng)];
    return text;
}

// A bulk load ends in entry order whatever order the lines come in: sorted by bytes as the
// downloaded files are ('_' sorts before the lower-case letters there, after them here), reversed,
// shuffled, with duplicates.
TEST(DomainList, AssignSortsLinesInAnyOrder) {
    std::mt19937 rng(7);
    std::vector<std::string> lines;
    for (int i = 0; i < 3000; ++i) lines.push_back(randomText(rng, 5) + (i % 7 ? "" : "_x"));
    lines.insert(lines.end(), lines.begin(), lines.begin() + 50);
    const auto entryOrder = [](std::vector<std::string> v) {
        std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return entryLess(a, b); });
        return v;
    };
    std::vector<std::vector<std::string>> orders{{}, {"one"}, lines, entryOrder(lines)};
    std::sort(orders[2].begin(), orders[2].end());
    orders.push_back(orders[3]);
    std::reverse(orders.back().begin(), orders.back().end());
    orders.push_back(lines);
    std::shuffle(orders.back().begin(), orders.back().end(), rng);
    for (const auto& order : orders) {
        DomainList list;
        list.assign(order);
        ASSERT_EQ(list.entries(), entryOrder(order));
    }
}

TEST(DomainList, FastMatchAgreesWithLinearScanAfterEveryChange) {
    std::mt19937 rng(20240611);
    DomainList list;
    std::vector<std::string> urls;
    for (int i = 0; i < 200; ++i) urls.push_back(toUpperAscii(randomText(rng, 12)));
    for (int step = 0; step < 2000; ++step) {
        const int action = int(rng() % 4);
        if (action == 0 || list.size() == 0) {
            list.insertSorted(randomText(rng, 6));
        } else if (action == 1) {
            list.replaceAt(rng() % list.size(), randomText(rng, 6));
        } else if (action == 2) {
            list.removeAt(rng() % list.size());
        } else if (step % 500 == 3) {
            std::vector<std::string> lines;
            for (int i = 0; i < 20; ++i) lines.push_back(randomText(rng, 6));
            list.assign(lines);
        }
        for (const auto& url : urls) {
            ASSERT_EQ(list.matches(url), list.matchesUpperLinear(url))
                << "step " << step << " url " << url;
        }
    }
}

std::string readDataFile(const std::string& name) {
    std::ifstream in(std::string(VANTREL_DATA_DIR) + "/" + name, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

TEST(DomainList, RealBlocklistMatchesTheKnownRequestUrls) {
    DomainList list;
    list.assign(vantrel::parseListFile(readDataFile("blacklist-1k.lis")));
    ASSERT_EQ(list.size(), 1000u);
    int fast = 0;
    int linear = 0;
    for (const auto& url : vantrel::parseListFile(readDataFile("urls-requests.txt"))) {
        const std::string upper = toUpperAscii(url);
        fast += list.matches(upper);
        linear += list.matchesUpperLinear(upper);
    }
    EXPECT_EQ(fast, 3);  // counted independently with grep -i -F
    EXPECT_EQ(linear, 3);
}
