// What the keeper does to the messages between the browser and its clients, message by message.

#include "platform/chromium/keeper_relay.h"

#include <gtest/gtest.h>

using nlohmann::json;
using vantrel::chromium::KeeperRelay;

namespace {

class KeeperRelayTest : public ::testing::Test {
  protected:
    // Sends a client's command through; the id the browser sees.
    long command(long id, const std::string& method, const std::string& session = {}) {
        json message = {{"id", id}, {"method", method}, {"params", json::object()}};
        if (!session.empty()) message["sessionId"] = session;
        return json::parse(relay.fromClient(message.dump()))["id"].get<long>();
    }
    std::optional<json> browserSays(const json& message) {
        auto out = relay.fromBrowser(message.dump(), toBrowser);
        if (!out) return std::nullopt;
        return json::parse(*out);
    }
    std::optional<json> attached(const std::string& session, const std::string& parent = {}) {
        json event = {{"method", "Target.attachedToTarget"},
                      {"params", {{"sessionId", session}, {"waitingForDebugger", true}}}};
        if (!parent.empty()) event["sessionId"] = parent;
        return browserSays(event);
    }
    // The keeper's own commands as "method session" words, in order.
    static std::vector<std::string> described(const std::vector<std::string>& commands) {
        std::vector<std::string> words;
        for (const auto& text : commands) {
            const json c = json::parse(text);
            std::string session = c.value("sessionId", "");
            if (session.empty()) session = c["params"].value("sessionId", "");
            words.push_back(c["method"].get<std::string>() +
                            (session.empty() ? "" : " " + session));
        }
        return words;
    }

    KeeperRelay relay;
    std::vector<std::string> toBrowser;
};

TEST_F(KeeperRelayTest, RepliesReachOnlyTheClientThatAskedUnderItsOwnId) {
    relay.clientCame();
    const long first = command(1, "Browser.getVersion");
    const long pending = command(2, "Runtime.evaluate", "S1");
    EXPECT_NE(first, pending);
    const auto reply = browserSays({{"id", first}, {"result", {{"product", "x"}}}});
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)["id"], 1);
    EXPECT_EQ((*reply)["result"]["product"], "x");

    relay.clientGone();
    relay.clientCame();
    const long again = command(2, "Browser.getVersion");  // the next client numbers from 1 too
    EXPECT_FALSE(browserSays({{"id", pending}, {"result", json::object()}}))
        << "the gone client's reply reached the next client";
    const auto mine = browserSays({{"id", again}, {"result", json::object()}});
    ASSERT_TRUE(mine);
    EXPECT_EQ((*mine)["id"], 2);
    EXPECT_FALSE(browserSays({{"id", 9999}, {"result", json::object()}})) << "an unknown id";
}

TEST_F(KeeperRelayTest, AGoneClientsSessionsAreLetGoOfAfterAutoAttachIsOff) {
    relay.clientCame();
    ASSERT_TRUE(attached("page"));           // auto-attached by the browser session
    ASSERT_TRUE(attached("frame", "page"));  // auto-attached inside the page
    const long attach = command(5, "Target.attachToTarget");
    ASSERT_TRUE(browserSays({{"id", attach}, {"result", {{"sessionId", "tab"}}}}));
    ASSERT_TRUE(attached("gone"));
    ASSERT_TRUE(browserSays(
        {{"method", "Target.detachedFromTarget"}, {"params", {{"sessionId", "gone"}}}}));
    EXPECT_EQ(relay.sessionCount(), 3u);

    const auto release = described(relay.clientGone());
    const std::vector<std::string> expected = {
        "Target.setAutoAttach",
        "Target.setDiscoverTargets",
        "Fetch.disable tab",
        "Runtime.runIfWaitingForDebugger tab",
        "Target.detachFromTarget tab",
        "Fetch.disable frame",
        "Runtime.runIfWaitingForDebugger frame",
        "Target.detachFromTarget frame",
        "Fetch.disable page",
        "Runtime.runIfWaitingForDebugger page",
        "Target.detachFromTarget page",
    };
    EXPECT_EQ(release, expected);
    EXPECT_FALSE(relay.hasClient());
    EXPECT_EQ(relay.sessionCount(), 0u);
}

TEST_F(KeeperRelayTest, EventsGoOnlyToTheClientWhoseSessionTheyCameOn) {
    relay.clientCame();
    ASSERT_TRUE(attached("old"));
    relay.clientGone();
    // A target attached while nobody is there is let go of at once, and not passed on.
    EXPECT_FALSE(attached("orphan"));
    EXPECT_EQ(
        described(toBrowser),
        (std::vector<std::string>{"Fetch.disable orphan", "Runtime.runIfWaitingForDebugger orphan",
                                  "Target.detachFromTarget orphan"}));
    EXPECT_FALSE(browserSays({{"method", "Target.targetCreated"}, {"params", json::object()}}));

    relay.clientCame();
    ASSERT_TRUE(attached("new"));
    const json paused = {{"method", "Fetch.requestPaused"}, {"params", {{"requestId", "r"}}}};
    json onOld = paused, onNew = paused;
    onOld["sessionId"] = "old";
    onNew["sessionId"] = "new";
    EXPECT_FALSE(browserSays(onOld)) << "an event of the gone client's session";
    const auto passed = browserSays(onNew);
    ASSERT_TRUE(passed);
    EXPECT_EQ(*passed, onNew) << "events pass unchanged";
    EXPECT_TRUE(browserSays({{"method", "Target.targetCreated"}, {"params", json::object()}}));
}

TEST_F(KeeperRelayTest, ANewBrowserForgetsTheOldOnesCommands) {
    relay.clientCame();
    const long id = command(1, "Browser.getVersion");
    relay.browserStarted();
    EXPECT_FALSE(browserSays({{"id", id}, {"result", json::object()}}));
    EXPECT_EQ(relay.fromClient("not json"), "not json")
        << "the browser answers what it cannot take";
}

}  // namespace
