#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/domain_lists.h"
#include "net/blacklist_merge.h"
#include "net/query_encoding.h"
#include "net/server_exchange.h"
#include "net_fixture.h"

using vantrel::DomainList;
using vantrel::DomainLists;
using vantrel::encodeQueryValue;
using vantrel::ListView;
using vantrel::ServerExchange;

namespace {

enum { BlackUpload, CleanUpload, Download };  // the order in which a tick starts them

class ServerExchangeTest : public vantrel::test::NetTest {
  protected:
    DomainLists lists{files, kFolder};
    ServerExchange exchange{environment, lists};

    void add(DomainList& list, const std::string& entry) {
        vantrel::insertEntry(list, lists.viewOf(list), entry);
    }
    // One tick of the server timer, as the start-up has enabled it.
    void tick() {
        exchange.TimerServer.setEnabled(true);
        loop.advance(ServerExchange::kInterval);
    }
    std::vector<std::string> rows(const ListView& view) const {
        std::vector<std::string> out;
        for (const auto& row : view.rows()) out.push_back(row.at(0));
        return out;
    }
    // The rows must show the list's entries without the mark, at the same indexes.
    void expectViewFollowsList() const {
        std::vector<std::string> domains;
        for (const auto& entry : lists.BlackList.entries())
            domains.emplace_back(vantrel::domainPart(entry));
        EXPECT_EQ(rows(lists.BlackLV), domains);
    }
};

TEST(QueryEncoding, KeepsTheSafeCharactersAndEncodesEveryOtherByte) {
    EXPECT_EQ(encodeQueryValue("AZaz09!$'()*-.@_"), "AZaz09!$'()*-.@_");
    EXPECT_EQ(encodeQueryValue("my site/x"), "my+site%2fx");
    EXPECT_EQ(encodeQueryValue("a&b=c+d%e#f?g~"), "a%26b%3dc%2bd%25e%23f%3fg%7e");
    EXPECT_EQ(encodeQueryValue(std::string("\0\n\x7f\x80\xe9\xff", 6)), "%00%0a%7f%80%e9%ff");
    EXPECT_EQ(encodeQueryValue(""), "");
}

TEST_F(ServerExchangeTest, UploadsOnlyUnmarkedEntriesAndMarksThemOnOK0) {
    add(lists.BlackList, "aaa.example");
    add(lists.BlackList, "bbb.example:1");
    add(lists.BlackList, "ccc.example");
    add(lists.CleanList, "friend.example");
    tick();
    ASSERT_EQ(http.count(), 3u);
    EXPECT_EQ(request(BlackUpload).url,
              url("/vtr/send.php?tp=0&dml[]=aaa.example&dml[]=ccc.example"));
    EXPECT_EQ(request(BlackUpload).accept, "GET");
    EXPECT_TRUE(request(BlackUpload).bypassCache);
    EXPECT_EQ(request(CleanUpload).url, url("/vtr/send.php?tp=1&dml[]=friend.example"));

    answer(BlackUpload, {200, "OK0"});
    EXPECT_EQ(lists.BlackList.entries(),
              (std::vector<std::string>{"aaa.example:1", "bbb.example:1", "ccc.example:1"}));
    EXPECT_EQ(rows(lists.BlackLV),
              (std::vector<std::string>{"aaa.example", "bbb.example", "ccc.example"}));
    EXPECT_EQ(settings.vtr_bldate, kToday);
    EXPECT_EQ(lists.CleanList.entries(), std::vector<std::string>{"friend.example"});
    EXPECT_EQ(settings.vtr_cldate, "");
    EXPECT_EQ(applied, std::vector<bool>{true});

    // Any other answer acknowledges the allowed list.
    answer(CleanUpload, {200, "OK1"});
    EXPECT_EQ(lists.CleanList.entries(), std::vector<std::string>{"friend.example:1"});
    EXPECT_EQ(settings.vtr_cldate, kToday);
}

TEST_F(ServerExchangeTest, EncodesSpaceAndSlashAndSendsABareRequestForAnEmptyList) {
    add(lists.CleanList, "my site/x");
    tick();
    EXPECT_EQ(request(BlackUpload).url, url("/vtr/send.php?tp=0"));
    EXPECT_EQ(request(CleanUpload).url, url("/vtr/send.php?tp=1&dml[]=my+site%2fx"));
}

TEST_F(ServerExchangeTest, MarksOnlyWhatWasSentAndNeverOnAnAnswerForTheOtherList) {
    add(lists.BlackList, "aaa.example");
    add(lists.CleanList, "friend.example");
    tick();
    // Added while the requests run: not sent, so not known to the server.
    add(lists.BlackList, "late.example");
    add(lists.CleanList, "later.example");
    answer(BlackUpload, {200, "OK1"});  // not the blacklist's acknowledgement
    answer(CleanUpload, {200, "OK0"});  // not the allowed list's either
    EXPECT_EQ(lists.BlackList.entries(), (std::vector<std::string>{"aaa.example", "late.example"}));
    EXPECT_EQ(lists.CleanList.entries(),
              (std::vector<std::string>{"friend.example", "later.example"}));
    EXPECT_EQ(settings.vtr_bldate, "");
    EXPECT_EQ(settings.vtr_cldate, "");
    EXPECT_TRUE(applied.empty());

    loop.advance(ServerExchange::kInterval);  // retried with everything unmarked
    ASSERT_EQ(http.count(), 5u);
    EXPECT_EQ(request(3).url, url("/vtr/send.php?tp=0&dml[]=aaa.example&dml[]=late.example"));
    answer(3, {200, "OK0"});
    answer(4, {200, "thanks"});
    EXPECT_EQ(lists.BlackList.entries(),
              (std::vector<std::string>{"aaa.example:1", "late.example:1"}));
    EXPECT_EQ(lists.CleanList.entries(),
              (std::vector<std::string>{"friend.example:1", "later.example:1"}));
}

TEST_F(ServerExchangeTest, DownloadAddsLongPiecesOnceAndKeepsTheViewInListOrder) {
    add(lists.BlackList, "mid.example");
    add(lists.BlackList, "two.example");  // unmarked: the marked one is still added
    tick();
    const std::string body = "zed.example#ab#two.example#";
    answer(Download, {200, body});
    EXPECT_EQ(
        lists.BlackList.entries(),
        (std::vector<std::string>{"mid.example", "two.example", "two.example:1", "zed.example:1"}));
    expectViewFollowsList();
    EXPECT_EQ(settings.vtr_getdate, kToday);
    EXPECT_EQ(applied, std::vector<bool>{true});

    EXPECT_EQ(vantrel::mergeServerBlacklist(lists.BlackList, lists.BlackLV, body), 0u);
    EXPECT_EQ(vantrel::mergeServerBlacklist(lists.BlackList, lists.BlackLV, "ZED.EXAMPLE"), 0u);
    EXPECT_EQ(lists.BlackList.size(), 4u);
}

TEST_F(ServerExchangeTest, DownloadIgnoresPiecesWithControlCharacters) {
    tick();
    answer(Download, {200, "good.example#evil.example\r\nx.example#tab\there.example#del\x7f.x"});
    EXPECT_EQ(lists.BlackList.entries(), std::vector<std::string>{"good.example:1"});
}

TEST_F(ServerExchangeTest, DownloadNamesBothLevelsAndTheLastDateWhenThereIsOne) {
    settings.vtr_snlevel = "2";
    tick();
    EXPECT_EQ(request(Download).url, url("/vtr/get.php?c_l=&n_l=2"));
    answer(Download, {200, "one.example"});
    EXPECT_EQ(settings.vtr_slevel, "2");  // the level in force is now the chosen one

    nextDay();
    settings.vtr_snlevel = "3";
    tick();  // the unanswered uploads still run: only the download starts
    ASSERT_EQ(http.count(), 4u);
    EXPECT_EQ(request(3).url, url("/vtr/get.php?c_l=2&n_l=3&dt=2026-12-07"));
}

TEST_F(ServerExchangeTest, ManyDownloadedDomainsAreMergedInOrder) {
    for (const char* entry : {"b-0.example", "m.example:1", "zz.example"})
        add(lists.BlackList, entry);
    std::string body;
    for (int i = 999; i >= 0; --i) body += "d" + std::to_string(i) + ".example#";
    body += "M.EXAMPLE:1#m.example";
    tick();
    answer(Download, {200, body});
    // 1000 domains and "M.EXAMPLE:1" marked once more; "m.example" is held marked already.
    EXPECT_EQ(lists.BlackList.size(), 3u + 1000u + 1u);
    const auto& entries = lists.BlackList.entries();
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return vantrel::entryLess(a, b);
    }));
    EXPECT_NE(std::find(entries.begin(), entries.end(), "M.EXAMPLE:1:1"), entries.end());
    expectViewFollowsList();
}

TEST_F(ServerExchangeTest, RetriesEvery40SecondsWithoutNetworkAndStopsWhenAllAreDone) {
    http.setAnswerer([](const vantrel::HttpRequest&) { return Answer::failure(); });
    tick();
    for (int i = 0; i < 5; ++i) loop.advance(ServerExchange::kInterval);
    EXPECT_EQ(http.count(), 3u * 6u);
    EXPECT_TRUE(exchange.TimerServer.enabled());
    EXPECT_EQ(settings.vtr_bldate + settings.vtr_cldate + settings.vtr_getdate, "");
    EXPECT_TRUE(applied.empty());

    // An error page is no acknowledgement either.
    http.setAnswerer([](const vantrel::HttpRequest&) { return Answer{500, "OK0"}; });
    loop.advance(ServerExchange::kInterval);
    EXPECT_EQ(settings.vtr_bldate, "");

    http.setAnswerer([](const vantrel::HttpRequest& request) {
        return Answer{200, request.url.find("tp=0") != std::string::npos ? "OK0" : "OK1"};
    });
    loop.advance(ServerExchange::kInterval);
    EXPECT_EQ(settings.vtr_bldate + settings.vtr_cldate + settings.vtr_getdate,
              std::string(kToday) + kToday + kToday);
    const size_t started = http.count();
    loop.advance(ServerExchange::kInterval);
    EXPECT_FALSE(exchange.TimerServer.enabled());
    loop.advance(10 * ServerExchange::kInterval);
    EXPECT_EQ(http.count(), started);
}

TEST_F(ServerExchangeTest, AnExchangeStillRunningIsNotStartedAgain) {
    tick();
    loop.advance(ServerExchange::kInterval);
    EXPECT_EQ(http.count(), 3u);
    answer(CleanUpload, Answer::failure());
    loop.advance(ServerExchange::kInterval);
    ASSERT_EQ(http.count(), 4u);
    EXPECT_EQ(request(3).url, url("/vtr/send.php?tp=1"));
}

TEST_F(ServerExchangeTest, DoneTodayStartsNothing) {
    settings.vtr_bldate = settings.vtr_cldate = settings.vtr_getdate = kToday;
    tick();
    EXPECT_EQ(http.count(), 0u);
    EXPECT_FALSE(exchange.TimerServer.enabled());
}

TEST_F(ServerExchangeTest, DestroyingTheExchangeAbortsItsTransfersWithoutEvents) {
    {
        ServerExchange other{environment, lists};
        other.TimerServerTimer();
    }
    EXPECT_EQ(http.count(), 3u);
    EXPECT_EQ(http.runningCount(), 3u);
    loop.runPending();
    EXPECT_EQ(http.runningCount(), 0u);
    EXPECT_TRUE(http.aborted(0));
    EXPECT_TRUE(applied.empty());
}

}  // namespace
