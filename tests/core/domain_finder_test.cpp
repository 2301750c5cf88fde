#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/domain_selection.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_whois_transport.h"

using namespace vantrel;

namespace {

std::string noMatch(const std::string& domain) {
    return "No match for \"" + domain + "\".\r\n";
}

class DomainFinderTest : public ::testing::Test {
  protected:
    sim::SimEventLoop loop;
    sim::SimWhoisTransport whois{loop};
    DomainFinder finder{whois, WhoisServers{}};

    // Answers the lookup of `domain` now: free, registered, or failed.
    void answer(const std::string& domain, sim::SimWhoisTransport::Answer reply) {
        const auto index = whois.indexOf(domain);
        ASSERT_TRUE(index) << domain;
        whois.answer(*index, std::move(reply));
        loop.runPending();
    }
    std::vector<std::string> queries() const {
        std::vector<std::string> out;
        for (size_t i = 0; i < whois.count(); ++i) out.push_back(whois.request(i).query);
        return out;
    }
};

}  // namespace

TEST(DomainLabels, NamesAreCleanedToDomainLabels) {
    EXPECT_EQ(candidateLabels("Mary Ann", "O'Brien"),
              (std::array<std::string, 3>{"obrien", "maryann-obrien", "maryannobrien"}));
    // Letters beyond ASCII are dropped, as any other character outside the label alphabet.
    EXPECT_EQ(candidateLabels("Jos\xC3\xA9", "M\xC3\xBCller_2"),
              (std::array<std::string, 3>{"mller_2", "jos-mller_2", "josmller_2"}));
}

TEST(DomainLabels, FullNameGivesFirstAndLastWordOfTheFirstField) {
    const auto names = namesFromFullName("Anna  Maria van Dijk,Room 12,555-1234");
    ASSERT_TRUE(names);
    EXPECT_EQ(names->first, "Anna");
    EXPECT_EQ(names->last, "Dijk");
    for (const char* unusable : {"", "Anna", ",Room 12", "Anna ???", "\xC3\xA9 Dijk"}) {
        EXPECT_FALSE(namesFromFullName(unusable)) << unusable;
    }
}

TEST(DomainLabels, ServerTableFromConfiguration) {
    const WhoisServers defaults = parseWhoisServers(std::nullopt);
    EXPECT_TRUE(defaults.enabled);
    EXPECT_EQ(defaults.bySuffix[0], "whois.verisign-grs.com");
    EXPECT_NE(defaults.bySuffix[2], defaults.bySuffix[0]);  // .org has its own registry

    EXPECT_FALSE(parseWhoisServers(std::string("  ")).enabled);

    const WhoisServers one = parseWhoisServers(std::string("127.0.0.1:4343"));
    for (const auto& server : one.bySuffix) EXPECT_EQ(server, "127.0.0.1:4343");

    const WhoisServers mixed =
        parseWhoisServers(std::string("org=org.test, .us=us.test:4300 xyz=ignored.test ws="));
    EXPECT_EQ(mixed.bySuffix[2], "org.test");
    EXPECT_EQ(mixed.bySuffix[6], "us.test:4300");
    EXPECT_EQ(mixed.bySuffix[5], defaults.bySuffix[5]);
    EXPECT_EQ(mixed.bySuffix[0], defaults.bySuffix[0]);
}

TEST_F(DomainFinderTest, TwentyOneLookupsInSuffixOrderEachOfItsOwnRegistry) {
    finder.StartDomainQueries("Ann", "Lee");
    ASSERT_EQ(whois.count(), 21u);
    EXPECT_EQ(queries()[0], "lee.com");
    EXPECT_EQ(queries()[1], "ann-lee.com");
    EXPECT_EQ(queries()[2], "annlee.com");
    EXPECT_EQ(queries()[20], "annlee.us");
    EXPECT_EQ(whois.request(0).host, "whois.verisign-grs.com");
    EXPECT_EQ(whois.request(0).port, 43);
    EXPECT_EQ(whois.request(*whois.indexOf("lee.info")).host, "whois.nic.info");
}

TEST_F(DomainFinderTest, ShortLabelsStartNoLookups) {
    finder.StartDomainQueries("", "");  // "", "-", "": nothing
    EXPECT_EQ(whois.count(), 0u);
    finder.StartDomainQueries("", "L");  // "l", "-l" (2 characters), "l"
    EXPECT_EQ(queries(), (std::vector<std::string>{"-l.com", "-l.net", "-l.org", "-l.info",
                                                   "-l.biz", "-l.ws", "-l.us"}));
}

TEST_F(DomainFinderTest, OnlyAnsweredFreeNamesAreListedAndEveryLookupIsCounted) {
    finder.StartDomainQueries("Ann", "Lee");
    answer("lee.com", "Domain Name: LEE.COM\r\n");
    answer("annlee.info", "NOT FOUND\r\n");
    answer("ann-lee.com", noMatch("ANN-LEE.COM"));
    answer("lee.net", "Error");       // a server's own "Error" answer
    answer("lee.org", std::nullopt);  // no connection
    EXPECT_EQ(finder.freeDomains(), (std::vector<std::string>{"annlee.info", "ann-lee.com"}));
    EXPECT_EQ(finder.finishedCount(), 5);
    EXPECT_TRUE(finder.IsDomainFree("ann-lee.com"));
    EXPECT_FALSE(finder.IsDomainFree("lee.org"));
}

TEST_F(DomainFinderTest, SwitchedOffFinderStartsNothing) {
    DomainFinder off(whois, parseWhoisServers(std::string()));
    off.StartDomainQueries("Ann", "Lee");
    EXPECT_EQ(whois.count(), 0u);
}

TEST_F(DomainFinderTest, DialogRowsPreselectionAndLateFreeNames) {
    finder.StartDomainQueries("Ann", "Lee");
    answer("annlee.com", noMatch("ANNLEE.COM"));
    answer("lee.us", noMatch("LEE.US"));
    DomainSelection dialog(loop, finder);
    int changes = 0;
    dialog.changed = [&] { ++changes; };
    dialog.FormCreate();
    ASSERT_EQ(dialog.rows().size(), 22u);
    EXPECT_EQ(dialog.rows()[0].text, "lee.com");
    EXPECT_EQ(dialog.rows()[7].text, "ann-lee.com");
    EXPECT_EQ(dialog.rows()[21].text, "I\u2019d like a different domain");
    EXPECT_TRUE(dialog.rows()[21].enabled);
    EXPECT_FALSE(dialog.rows()[0].enabled);
    EXPECT_EQ(dialog.selectedRow(), 6u);  // lee.us comes before annlee.com in row order
    EXPECT_EQ(dialog.progress(), 10);     // 2 of 21

    // A free name arriving while the dialog is open: its row is enabled within 100 ms.
    whois.answer(*whois.indexOf("lee.com"), noMatch("LEE.COM"));
    loop.runPending();
    EXPECT_FALSE(dialog.rows()[0].enabled);
    loop.advance(DomainSelection::kQueryInterval);
    EXPECT_TRUE(dialog.rows()[0].enabled);
    EXPECT_EQ(dialog.selectedRow(), 6u);
    EXPECT_GT(changes, 0);

    // Disabled rows cannot be chosen; the last row gives "Other".
    dialog.selectRow(1);
    EXPECT_EQ(dialog.selectedRow(), 6u);
    dialog.selectRow(21);
    EXPECT_TRUE(dialog.BTNOkClick());
    EXPECT_EQ(finder.selectedResult, "Other");
    dialog.selectRow(0);
    EXPECT_TRUE(dialog.BTNOkClick());
    EXPECT_EQ(finder.selectedResult, "lee.com");
}

TEST_F(DomainFinderTest, TimerQueryStopsOnceEveryLookupFinished) {
    finder.StartDomainQueries("Ann", "Lee");
    DomainSelection dialog(loop, finder);
    dialog.FormCreate();
    EXPECT_TRUE(dialog.querying());
    for (size_t i = 0; i < whois.count(); ++i) whois.answer(i, std::nullopt);
    loop.advance(DomainSelection::kQueryInterval);
    EXPECT_EQ(dialog.progress(), 100);
    EXPECT_FALSE(dialog.querying());
}

TEST_F(DomainFinderTest, LabelsOfTwoCharactersAreLookedUpButNotOffered) {
    finder.StartDomainQueries("Al", "Li");  // "li", "al-li", "alli"
    EXPECT_EQ(whois.count(), 21u);
    answer("li.com", noMatch("LI.COM"));
    DomainSelection dialog(loop, finder);
    dialog.FormCreate();
    EXPECT_EQ(dialog.rows().size(), 15u);
    EXPECT_EQ(dialog.rows()[0].text, "al-li.com");
    // The only free name has no row: nothing is preselected and Register waits for a choice.
    EXPECT_FALSE(dialog.selectedRow());
    EXPECT_FALSE(dialog.BTNOkClick());
    EXPECT_EQ(finder.selectedResult, "");
}
