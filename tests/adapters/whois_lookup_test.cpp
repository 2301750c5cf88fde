#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/whois.h"
#include "platform/posix/std_event_loop.h"
#include "platform/posix/whois_socket_transport.h"
#include "tests/adapters/closed_port.h"
#include "tests/adapters/loop_runs.h"
#include "tests/adapters/whois_server.h"

using namespace std::chrono_literals;
using vantrel::TWhoIs;
using vantrel::posix::StdEventLoop;
using vantrel::posix::WhoisSocketTransport;
using Reply = WhoisServer::Reply;

namespace {

const std::string kRegistered =
    "   Domain Name: TAKEN.COM\r\n   Registry Domain ID: 1_DOMAIN_COM-VRSN\r\n";

Reply replyFor(const std::string& query) {
    if (query == "free.com") return {Reply::Kind::Answer, "No match for \"FREE.COM\".\r\n"};
    if (query == "late.com") {
        return {Reply::Kind::Answer,
                "Terms of use: see below.\r\n\r\nNo match for \"LATE.COM\".\r\n"};
    }
    if (query == "free.org") return {Reply::Kind::Answer, "Domain not found.\r\n"};
    if (query == "error.com") return {Reply::Kind::Answer, "Error"};
    if (query == "silent.com") return {Reply::Kind::Silence, {}};
    if (query == "huge.com") return {Reply::Kind::Answer, std::string(2 * 1024 * 1024, 'x')};
    if (query == "cut.com") return {Reply::Kind::ResetAfter, "   Domain Name: CUT.COM\r\n"};
    return {Reply::Kind::Answer, kRegistered};
}

struct Outcome {
    std::string domain;
    bool isFound;
    std::string result;
};

class WhoisLookupTest : public ::testing::Test {
  protected:
    WhoisServer server{replyFor};
    StdEventLoop loop;
    std::unique_ptr<WhoisSocketTransport> transport = std::make_unique<WhoisSocketTransport>(loop);
    std::vector<Outcome> outcomes;
    size_t expected = 1;

    std::unique_ptr<TWhoIs> make(const std::string& domain) {
        auto whois = std::make_unique<TWhoIs>(*transport);
        whois->Domain = domain;
        whois->ServerName = server.address();
        whois->OnDoneEvent = [this](TWhoIs& sender, bool isFound, const std::string& result) {
            outcomes.push_back({sender.Domain, isFound, result});
            if (outcomes.size() >= expected) loop.quit();
        };
        return whois;
    }

    Outcome lookup(const std::string& domain, int timeOut = 0) {
        auto whois = make(domain);
        whois->TimeOut = timeOut;
        whois->Lookup();
        runUntilQuit(loop);
        return outcomes.empty() ? Outcome{"none", false, "none"} : outcomes.back();
    }
};

}  // namespace

TEST_F(WhoisLookupTest, AnswersDecideFreeOrRegisteredAndTheQueryIsOneLine) {
    const Outcome free = lookup("free.com");
    EXPECT_FALSE(free.isFound);
    EXPECT_EQ(free.result, "No match for \"FREE.COM\".\r\n");
    const Outcome late = lookup("late.com");
    EXPECT_FALSE(late.isFound);
    EXPECT_FALSE(lookup("free.org").isFound);
    const Outcome taken = lookup("taken.com");
    EXPECT_TRUE(taken.isFound);
    EXPECT_EQ(taken.result, kRegistered);
    EXPECT_EQ(server.queries().front(), "free.com\r\n");
}

TEST_F(WhoisLookupTest, ErrorAsTheAnswerIsNotAFreeName) {
    const Outcome error = lookup("error.com");
    EXPECT_TRUE(error.isFound);
    EXPECT_EQ(error.result, "Error");
}

TEST_F(WhoisLookupTest, FailedExchangesEndInError) {
    auto refused = make("free.com");
    refused->ServerName = "127.0.0.1:" + std::to_string(closedPort());
    refused->Lookup();
    runUntilQuit(loop);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_FALSE(outcomes[0].isFound);
    EXPECT_EQ(outcomes[0].result, "Error");

    for (const std::string domain : {"huge.com", "cut.com"}) {
        const Outcome outcome = lookup(domain);
        EXPECT_EQ(outcome.domain, domain);
        EXPECT_FALSE(outcome.isFound) << domain;
        EXPECT_EQ(outcome.result, "Error") << domain;
    }
}

TEST_F(WhoisLookupTest, UnusableServerNamesEndInErrorWithoutAConnection) {
    for (const std::string name : {"", "127.0.0.1:0", "127.0.0.1:99999", "127.0.0.1:4x", "a b"}) {
        auto whois = make("free.com");
        whois->ServerName = name;
        whois->Lookup();
        runUntilQuit(loop);
        ASSERT_FALSE(outcomes.empty()) << name;
        EXPECT_EQ(outcomes.back().result, "Error") << name;
        outcomes.clear();
    }
    EXPECT_TRUE(server.queries().empty());
}

TEST_F(WhoisLookupTest, SilentServerEndsInErrorAtTheReadLimit) {
    const auto started = std::chrono::steady_clock::now();
    const Outcome silent = lookup("silent.com", 300);
    EXPECT_EQ(silent.result, "Error");
    EXPECT_GE(std::chrono::steady_clock::now() - started, 300ms);
}

TEST_F(WhoisLookupTest, TwentyOneLookupsAtOnceEachReportOnce) {
    std::vector<std::unique_ptr<TWhoIs>> lookups;
    for (int i = 0; i < 21; ++i) {
        lookups.push_back(make(i % 3 == 0 ? "free.com" : "name" + std::to_string(i) + ".com"));
    }
    expected = 21;
    for (auto& whois : lookups) whois->Lookup();
    runUntilQuit(loop);
    runFor(loop, 100ms);
    ASSERT_EQ(outcomes.size(), 21u);
    int free = 0;
    for (const auto& outcome : outcomes) free += outcome.isFound ? 0 : 1;
    EXPECT_EQ(free, 7);
}

TEST_F(WhoisLookupTest, DestroyedComponentHearsNothingAndAbortReportsError) {
    auto destroyed = make("silent.com");
    destroyed->Lookup();
    destroyed.reset();
    auto aborted = make("silent.com");
    aborted->Lookup();
    aborted->Lookup();  // a second start while busy changes nothing
    aborted->Abort();
    runUntilQuit(loop, 10s);
    runFor(loop, 200ms);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].result, "Error");
}

TEST_F(WhoisLookupTest, DestroyingTheTransportDuringALookupNeitherWaitsNorReports) {
    auto whois = make("silent.com");
    whois->Lookup();
    runFor(loop, 50ms);
    const auto started = std::chrono::steady_clock::now();
    transport.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    runFor(loop, 200ms);
    EXPECT_TRUE(outcomes.empty());
}
