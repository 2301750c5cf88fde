// The extension adapter on recorded message sequences, with the real engine on the simulated
// platform: what the browsers report goes in, the engine decides, and what Vantrel sends back
// is read.

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/extension/composite_browser_shell.h"
#include "platform/extension/extension_shell.h"
#include "platform/extension/rules_follower.h"
#include "platform/sim/sim_world.h"
#include "shell/vantrel_form.h"

using vantrel::extension::ExtensionShell;
using Json = nlohmann::json;

namespace {

constexpr pid_t kFirefoxPid = 4100;
constexpr pid_t kChromePid = 4200;

class ExtensionWatch : public ::testing::Test {
  protected:
    ExtensionWatch()
        : form({world.loop, world.files, world.registry, shell, world.desktop, world.http,
                world.process, vantrel::sim::SimWorld::kProgramFolder, world.configuration,
                &world.autostart, true, &world.browserButton}) {}

    void SetUp() override { ASSERT_TRUE(form.FormCreate()); }

    // A browser whose extension has said "watch", with one normal window and one tab.
    void connect(ExtensionShell::Connection c, pid_t pid, const std::string& frontPage,
                 const std::string& browser = "firefox", bool blocking = false,
                 const std::string& brand = "") {
        shell.connected(c, [this, c](const std::string& m) { sent[c].push_back(Json::parse(m)); });
        send(c, {{"type", "host"}, {"browserPid", pid}, {"caller", "test"}});
        send(c, {{"type", "watch"},
                 {"browser", browser},
                 {"version", "128.0"},
                 {"brand", brand},
                 {"blocking", blocking}});
        send(c, {{"type", "window"}, {"window", 1}, {"popup", false}});
        send(c, {{"type", "tab"}, {"tab", 10}, {"window", 1}, {"url", frontPage}});
    }
    void send(ExtensionShell::Connection c, const Json& message) {
        shell.received(c, message.dump());
    }
    void navigate(ExtensionShell::Connection c, int tab, const std::string& url, int frame = 0) {
        send(c, {{"type", "navigate"}, {"tab", tab}, {"frame", frame}, {"url", url}});
    }
    void openPopup(ExtensionShell::Connection c, int window, int tab, const std::string& url) {
        send(c, {{"type", "window"}, {"window", window}, {"popup", true}});
        send(c, {{"type", "tab"}, {"tab", tab}, {"window", window}, {"url", ""}});
        send(c, {{"type", "opened"}, {"tab", tab}, {"source", 10}, {"url", url}});
    }
    // The messages of one type Vantrel sent to the browser of `c`.
    std::vector<Json> sentOf(ExtensionShell::Connection c, const std::string& type) {
        std::vector<Json> out;
        for (const auto& m : sent[c]) {
            if (m["type"] == type) out.push_back(m);
        }
        return out;
    }
    std::vector<std::string> loggedAddresses() const {
        std::vector<std::string> out;
        for (const auto& row : form.killLog.ListViewLog.rows()) out.push_back(row.at(1));
        return out;
    }
    int collectionSize() { return shell.createWindows()->Count(); }

    vantrel::sim::SimWorld world;
    ExtensionShell shell{world.loop, vantrel::sim::SimWorld::kProgramFolder};
    vantrel::VantrelForm form;
    std::map<ExtensionShell::Connection, std::vector<Json>> sent;
};

// A page with one 468x60 banner inside its link, as the page script reports it.
Json bannerSnapshot() {
    const std::string href = "http://ads.example/click?id=1";
    const std::string src = "http://ads.example/b/468.gif";
    const std::string body =
        "<body><a href=\"" + href + "\"><img src=\"" + src + "\" width=\"468\"></a></body>";
    const auto at = [&](const std::string& value) { return body.find(value); };
    return {{"url", "http://news.example/"},
            {"images", {{src, 468, 60, at(src), src.size()}}},
            {"links", {{true, href, at(href), href.size()}}},
            {"body", body}};
}

}  // namespace

TEST_F(ExtensionWatch, APopUpWindowIsClosedAndLoggedWithItsAddressAndAFullWindowStays) {
    connect(1, kFirefoxPid, "http://news.example/");
    EXPECT_EQ(sentOf(1, "watching").size(), 1u);
    // A full window opened by a click on a page of another site.
    send(1, {{"type", "window"}, {"window", 3}, {"popup", false}});
    send(1, {{"type", "tab"}, {"tab", 30}, {"window", 3}, {"url", "http://shop.example/"}});
    // The pop-up goes as soon as its opener names its address, before its own navigation is
    // reported; that report is no second event.
    openPopup(1, 2, 20, "http://offers.example/deal");
    const auto closed = sentOf(1, "close");
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0]["tab"], 20);
    EXPECT_EQ(loggedAddresses(), std::vector<std::string>{"http://offers.example/deal"});
    navigate(1, 20, "http://offers.example/deal");
    EXPECT_EQ(sentOf(1, "close").size(), 1u);
    EXPECT_EQ(loggedAddresses().size(), 1u);
    world.loop.runPending();
    EXPECT_EQ(collectionSize(), 2);

    // The browser reports the close; a later sweep leaves the full window alone.
    send(1, {{"type", "tabRemoved"}, {"tab", 20}});
    send(1, {{"type", "windowRemoved"}, {"window", 2}});
    navigate(1, 30, "http://shop.example/cart");
    EXPECT_EQ(sentOf(1, "close").size(), 1u);
    EXPECT_EQ(shell.refusedMessages(), 0u);
}

TEST_F(ExtensionWatch, AdvertisingNavigationsAreCancelledByVerdictOrAfterTheFact) {
    connect(1, kFirefoxPid, "http://news.example/");
    // Firefox waits for the verdict on every request it reports.
    send(1, {{"type", "navigate"},
             {"tab", 10},
             {"frame", 0},
             {"url", "http://ads.example/ads/x"},
             {"request", "77"}});
    send(1, {{"type", "navigate"},
             {"tab", 10},
             {"frame", 4},
             {"url", "http://news.example/f"},
             {"request", "78"}});
    const auto verdicts = sentOf(1, "verdict");
    ASSERT_EQ(verdicts.size(), 2u);
    EXPECT_EQ(verdicts[0], (Json{{"type", "verdict"}, {"request", "77"}, {"cancel", true}}));
    EXPECT_EQ(verdicts[1]["cancel"], false);

    // Chromium does not wait: the verdict stops the frame's navigation or takes it back.
    navigate(1, 10, "http://ads.example/ads/y", 5);
    navigate(1, 10, "http://news.example/page2");
    const auto cancels = sentOf(1, "cancel");
    ASSERT_EQ(cancels.size(), 1u);
    EXPECT_EQ(
        cancels[0],
        (Json{{"type", "cancel"}, {"tab", 10}, {"frame", 5}, {"url", "http://ads.example/ads/y"}}));
    EXPECT_EQ(loggedAddresses(),
              (std::vector<std::string>{"http://ads.example/ads/x", "http://ads.example/ads/y"}));
}

TEST_F(ExtensionWatch, ANavigationItsOpenerReportedIsOneEventAnsweredWhenTheTabReportsIt) {
    const std::string ad = "http://ads.example/ads/x";
    auto openFull = [&](ExtensionShell::Connection c, int window, int tab) {
        send(c, {{"type", "window"}, {"window", window}, {"popup", false}});
        send(c, {{"type", "tab"}, {"tab", tab}, {"window", window}, {"url", ""}});
        send(c, {{"type", "opened"}, {"tab", tab}, {"source", 10}, {"url", ad}});
    };
    // Firefox holds the tab's request: its verdict is the one given when the opener reported it.
    // (The engine logs the cancelled address, and once more as it closes the window showing it.)
    connect(1, kFirefoxPid, "http://news.example/", "firefox", true);
    openFull(1, 2, 20);
    const auto rows = loggedAddresses().size();
    EXPECT_GE(rows, 1u);
    EXPECT_TRUE(sentOf(1, "cancel").empty());
    send(1, {{"type", "navigate"}, {"tab", 20}, {"frame", 0}, {"url", ad}, {"request", "5"}});
    EXPECT_EQ(sentOf(1, "verdict"),
              std::vector<Json>{(Json{{"type", "verdict"}, {"request", "5"}, {"cancel", true}})});
    EXPECT_EQ(loggedAddresses().size(), rows);
    // Reported by the tab first, then by its opener: decided once, at the first.
    send(1, {{"type", "window"}, {"window", 3}, {"popup", false}});
    send(1, {{"type", "tab"}, {"tab", 30}, {"window", 3}, {"url", ""}});
    send(1, {{"type", "navigate"}, {"tab", 30}, {"frame", 0}, {"url", ad}, {"request", "6"}});
    EXPECT_EQ(sentOf(1, "verdict").size(), 2u);
    EXPECT_EQ(sentOf(1, "verdict")[1]["cancel"], true);
    const auto rowsAfterTab = loggedAddresses().size();
    send(1, {{"type", "opened"}, {"tab", 30}, {"source", 10}, {"url", ad}});
    EXPECT_EQ(loggedAddresses().size(), rowsAfterTab);

    // Chromium does not wait: it is told to cancel once, at the opener's report.
    connect(2, kChromePid, "http://news.example/", "chromium");
    openFull(2, 2, 20);
    const auto chromiumRows = loggedAddresses().size();
    navigate(2, 20, ad);
    EXPECT_EQ(
        sentOf(2, "cancel"),
        std::vector<Json>{(Json{{"type", "cancel"}, {"tab", 20}, {"frame", 0}, {"url", ad}})});
    EXPECT_EQ(loggedAddresses().size(), chromiumRows);
    // A tab that then goes elsewhere is asked about as any other.
    navigate(2, 20, "http://ads.example/ads/y");
    EXPECT_EQ(sentOf(2, "cancel").size(), 2u);
    EXPECT_EQ(shell.refusedMessages(), 0u);
}

TEST_F(ExtensionWatch, AWindowOpeningIsAnsweredByTheEngineBeforeTheBrowserMakesIt) {
    connect(1, kFirefoxPid, "http://news.example/", "firefox", true);
    form.lists.AddURLToList(form.lists.CleanList, "login.example");
    const auto ask = [&](const std::string& request, const std::string& url,
                         const std::string& features, int tab = 10) {
        send(1, {{"type", "open"},
                 {"tab", tab},
                 {"frame", 2},
                 {"url", url},
                 {"features", features},
                 {"request", request}});
        const auto verdicts = sentOf(1, "verdict");
        return verdicts.empty() || verdicts.back()["request"] != request
                   ? Json()
                   : verdicts.back()["cancel"];
    };
    // The features tell a pop-up window from a tab, as the browser will make it.
    EXPECT_EQ(ask("1", "http://elsewhere.example/offer", "width=300,height=200"), true);
    EXPECT_EQ(ask("2", "http://elsewhere.example/offer", "noopener"), false);
    EXPECT_EQ(ask("3", "http://login.example/", "popup"), false);
    // A tab the browser never reported: the page still waits, and the window opens.
    EXPECT_EQ(ask("4", "http://elsewhere.example/offer", "popup", 999), false);
    EXPECT_EQ(loggedAddresses(), std::vector<std::string>{"http://elsewhere.example/offer"});
    EXPECT_EQ(shell.refusedMessages(), 1u);
}

TEST_F(ExtensionWatch, ABannerIsReplacedAndItsLinkRepointedInTheDocumentOfItsLoad) {
    connect(1, kFirefoxPid, "http://news.example/");
    send(1, {{"type", "committed"}, {"tab", 10}, {"frame", 0}, {"url", "http://news.example/"}});
    send(1, {{"type", "complete"},
             {"tab", 10},
             {"frame", 0},
             {"url", "http://news.example/"},
             {"load", 7},
             {"snapshot", bannerSnapshot()}});
    world.loop.runPending();  // writes go out together after the handler
    const auto writes = sentOf(1, "write");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0]["tab"], 10);
    EXPECT_EQ(writes[0]["frame"], 0);
    EXPECT_EQ(writes[0]["load"], 7);
    std::map<std::string, Json> ops;
    for (const auto& op : writes[0]["ops"]) ops[op[0]] = op;
    EXPECT_EQ(ops["src"][2], std::string(vantrel::sim::SimWorld::kProgramFolder) + "r468x60.gif");
    EXPECT_EQ(ops["href"][1], 0);
    EXPECT_NE(ops["href"][2], "http://ads.example/click?id=1");
    EXPECT_TRUE(ops.contains("alt"));

    // The next document, whose snapshot could not be read, gives the engine no document.
    send(1, {{"type", "committed"}, {"tab", 10}, {"frame", 0}, {"url", "http://news.example/"}});
    send(1, {{"type", "complete"},
             {"tab", 10},
             {"frame", 0},
             {"url", "http://news.example/"},
             {"load", 8},
             {"snapshot", nullptr}});
    world.loop.runPending();
    EXPECT_EQ(sentOf(1, "write").size(), 1u);
}

TEST_F(ExtensionWatch, EveryBrowserJoinsTheCollectionAndOneThatEndsTakesOnlyItsOwnTabs) {
    int changes = 0;
    shell.setOnBrowsersChanged([&] { ++changes; });
    connect(1, kFirefoxPid, "http://news.example/");
    connect(2, kChromePid, "http://mail.example/", "chromium", false, "Google Chrome");
    openPopup(2, 2, 21, "http://popups.example/b");
    EXPECT_EQ(collectionSize(), 3);
    EXPECT_EQ(changes, 2);
    ASSERT_EQ(shell.browsers().size(), 2u);
    EXPECT_EQ(shell.browsers()[0].name(), "firefox 128.0");
    // Named as users know them: the family's name, or the browser's own within the family.
    EXPECT_EQ(shell.browsers()[0].label(), "Firefox");
    EXPECT_EQ(shell.browsers()[1].label(), "Google Chrome");
    // Requests a browser let go for want of a verdict are told, and counted per browser.
    send(1, {{"type", "unanswered"}, {"count", 3}});
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(shell.browsers()[0].unanswered, 3);
    EXPECT_EQ(shell.browsers()[1].unanswered, 0);

    // A navigation in one browser sweeps the pop-ups of every browser.
    navigate(1, 10, "http://news.example/2");
    EXPECT_EQ(sentOf(2, "close").size(), 1u);
    send(2, {{"type", "tabRemoved"}, {"tab", 21}});

    shell.disconnected(1);
    EXPECT_EQ(collectionSize(), 1);
    EXPECT_EQ(changes, 4);
    // The browser that stays is still watched, and tab ids of the one that went mean nothing.
    openPopup(2, 3, 22, "http://popups.example/c");
    navigate(2, 10, "http://mail.example/inbox");
    EXPECT_EQ(sentOf(2, "close").size(), 2u);
    EXPECT_EQ(loggedAddresses().back(), "http://popups.example/c");
}

TEST_F(ExtensionWatch, ABrowserWatchedOverTheDevToolsProtocolIsDeclined) {
    int changes = 0;
    shell.setOnBrowsersChanged([&] { ++changes; });
    shell.setWatchedElsewhere([](pid_t pid) { return pid == kChromePid; });
    connect(2, kChromePid, "http://mail.example/");
    EXPECT_EQ(sentOf(2, "declined").size(), 1u);
    EXPECT_TRUE(sentOf(2, "watching").empty());
    EXPECT_EQ(collectionSize(), 0);
    ASSERT_EQ(shell.browsers().size(), 1u);
    EXPECT_FALSE(shell.browsers()[0].watched);
    EXPECT_EQ(changes, 1);
    // Nothing it reports is taken.
    send(2, {{"type", "tab"}, {"tab", 11}, {"window", 1}, {"url", "http://b.example/"}});
    EXPECT_EQ(collectionSize(), 0);
}

TEST_F(ExtensionWatch, TheForegroundIsTheActiveTabOfTheFocusedWindowOfTheBrowserInFront) {
    connect(1, kFirefoxPid, "http://news.example/");
    send(1, {{"type", "tab"}, {"tab", 11}, {"window", 1}, {"url", "http://other.example/"}});
    EXPECT_EQ(shell.foregroundWindow(kFirefoxPid), 0u);
    send(1, {{"type", "active"}, {"tab", 11}, {"window", 1}});
    send(1, {{"type", "focus"}, {"window", 1}});
    const auto front = shell.foregroundWindow(kFirefoxPid);
    EXPECT_EQ(front, shell.createWindows()->Item(1)->handle());
    EXPECT_GE(front, ExtensionShell::kFirstHandle);
    EXPECT_EQ(shell.foregroundWindow(kChromePid), 0u);
    send(1, {{"type", "focus"}, {"window", -1}});
    EXPECT_EQ(shell.foregroundWindow(kFirefoxPid), 0u);
}

TEST_F(ExtensionWatch, BadMessagesAreRefusedAndCountedAndNothingOfThemReachesTheEngine) {
    shell.connected(1, [this](const std::string& m) { sent[1].push_back(Json::parse(m)); });
    // Before the extension has said "watch", nothing of its browser is taken.
    send(1, {{"type", "tab"}, {"tab", 10}, {"window", 1}, {"url", "http://news.example/"}});
    EXPECT_EQ(shell.refusedMessages(), 1u);
    connect(1, kFirefoxPid, "http://news.example/");
    const std::vector<std::string> bad = {
        "",
        "not json",
        "[1,2]",
        R"({"type":5})",
        R"({"type":"unknown"})",
        R"({"type":"tab","tab":11,"window":1})",
        R"({"type":"tab","tab":-3,"window":1,"url":"x"})",
        R"({"type":"tab","tab":1e300,"window":1,"url":"x"})",
        R"({"type":"tab","tab":99999999999999999999,"window":1,"url":"x"})",
        R"({"type":"tab","tab":"11","window":1,"url":"x"})",
        R"({"type":"navigate","tab":999,"frame":0,"url":"http://ads.example/ads/1"})",
        R"({"type":"complete","tab":10,"frame":0,"url":"x","load":1,"snapshot":"<html>"})",
        R"({"type":"navigate","tab":10,"frame":0,"url":"x","request":""})",
        R"({"type":"watch","browser":"again"})",
        R"({"type":"host","browserPid":1,"caller":"late"})",
        R"({"type":"window","window":-1,"popup":true})",
        R"({"type":"unanswered","count":-1})",
        R"({"type":"open","tab":10,"frame":0,"url":"http://a.example/","features":""})",
        R"({"type":"open","tab":10,"frame":0,"url":"http://a.example/","request":"6"})",
    };
    for (const auto& text : bad) shell.received(1, text);
    EXPECT_EQ(shell.refusedMessages(), 1u + bad.size());
    EXPECT_EQ(collectionSize(), 1);
    EXPECT_TRUE(loggedAddresses().empty());
    // A request of a tab never reported still gets its answer: the browser waits for it.
    send(1, {{"type", "navigate"},
             {"tab", 999},
             {"frame", 0},
             {"url", "http://a.example/"},
             {"request", "5"}});
    ASSERT_EQ(sentOf(1, "verdict").size(), 1u);
    EXPECT_EQ(sentOf(1, "verdict")[0]["cancel"], false);
    // Messages of a connection never made are refused too.
    shell.received(9, R"({"type":"watch","browser":"x"})");
    EXPECT_EQ(shell.refusedMessages(), 3u + bad.size());
}

// A rule set or change as a browser was sent it, its messages joined.
struct SentRules {
    bool whole = false;
    std::vector<int> removed;
    std::vector<Json> rules;  // [id, priority, action, filter]

    bool holds(const std::string& filter) const {
        for (const auto& rule : rules) {
            if (rule[3] == filter) return true;
        }
        return false;
    }
};

std::vector<SentRules> ruleSets(const std::vector<Json>& messages) {
    std::vector<SentRules> sets;
    SentRules open;
    for (const auto& m : messages) {
        open.whole = m["whole"];
        for (const auto& id : m["remove"]) open.removed.push_back(id);
        for (const auto& rule : m["rules"]) open.rules.push_back(rule);
        if (m["last"] == true) {
            sets.push_back(std::move(open));
            open = {};
        }
    }
    return sets;
}

class ExtensionRules : public ExtensionWatch {
  protected:
    std::vector<SentRules> rulesSentTo(ExtensionShell::Connection c) {
        return ruleSets(sentOf(c, "rules"));
    }
    void addToBlacklist(const std::string& url) {
        ASSERT_TRUE(form.lists.AddURLToList(form.lists.BlackList, url)) << url;
    }
    void rulesApplied(ExtensionShell::Connection c, const std::string& error) {
        const Json last = sentOf(c, "rules").back();
        send(c, {{"type", "rulesApplied"},
                 {"set", last["set"]},
                 {"count", 0},
                 {"ms", 5},
                 {"error", error}});
    }

    vantrel::extension::RulesFollower follower{world.loop, form.lists.CleanList,
                                               form.lists.BlackList, "", shell};
};

TEST_F(ExtensionRules, ChromiumBrowsersGetTheWholeSetOnConnectingAndThenEachChangeAlone) {
    connect(1, kChromePid, "http://news.example/", "chromium");
    connect(2, kFirefoxPid, "http://news.example/");
    ASSERT_EQ(rulesSentTo(1).size(), 1u);
    EXPECT_TRUE(rulesSentTo(1)[0].whole);
    EXPECT_TRUE(sentOf(2, "rules").empty()) << "Firefox holds requests for the verdict instead";
    const size_t wholeCount = rulesSentTo(1)[0].rules.size();

    // The change goes out in the loop's next turn, with no time passing.
    addToBlacklist("http://Tracker.example/x");
    world.loop.runPending();
    auto sets = rulesSentTo(1);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_FALSE(sets[1].whole);
    EXPECT_TRUE(sets[1].removed.empty());
    ASSERT_EQ(sets[1].rules.size(), 1u);
    EXPECT_TRUE(sets[1].holds("tracker.example"));

    // A burst of changes within one turn is one change; a later browser gets the whole set.
    for (int i = 0; i < 300; ++i) addToBlacklist("http://host" + std::to_string(i) + ".example/");
    form.lists.BlackList.removeAt(form.lists.BlackList.size() - 1);  // tracker.example
    world.loop.runPending();
    sets = rulesSentTo(1);
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[2].rules.size(), 300u);
    EXPECT_EQ(sets[2].removed.size(), 1u);
    connect(3, kChromePid + 1, "http://news.example/", "chromium");
    ASSERT_EQ(rulesSentTo(3).size(), 1u);
    EXPECT_TRUE(rulesSentTo(3)[0].whole);
    EXPECT_EQ(rulesSentTo(3)[0].rules.size(), wholeCount + 300);

    // An entry marked as synced holds the same name: the rules stay, nothing is sent.
    const std::string first = form.lists.BlackList.at(0);
    form.lists.BlackList.replaceAt(0, first + std::string(vantrel::kSyncedMark));
    world.loop.advance(1000);
    EXPECT_EQ(rulesSentTo(1).size(), 3u);
    EXPECT_EQ(rulesSentTo(3).size(), 1u);
}

TEST_F(ExtensionRules, ABrowserThatRefusedRulesIsSentTheWholeSet) {
    connect(1, kChromePid, "http://news.example/", "chromium");
    addToBlacklist("http://first.example/");
    world.loop.runPending();
    ASSERT_EQ(rulesSentTo(1).size(), 2u);

    // A refused change: its rules are those before it, so the whole set follows at once.
    rulesApplied(1, "Rule with id 40 does not have a unique ID.");
    auto sets = rulesSentTo(1);
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_TRUE(sets[2].whole);
    EXPECT_TRUE(sets[2].holds("first.example"));
    EXPECT_EQ(shell.browsers()[0].rulesError, "Rule with id 40 does not have a unique ID.");

    // A refused whole set is not sent again at once, but in place of the next change.
    rulesApplied(1, "Internal error.");
    EXPECT_EQ(rulesSentTo(1).size(), 3u);
    addToBlacklist("http://second.example/");
    world.loop.runPending();
    sets = rulesSentTo(1);
    ASSERT_EQ(sets.size(), 4u);
    EXPECT_TRUE(sets[3].whole);
    EXPECT_TRUE(sets[3].holds("first.example") && sets[3].holds("second.example"));

    // Taken: changes alone again.
    rulesApplied(1, "");
    EXPECT_EQ(shell.browsers()[0].rulesError, "");
    addToBlacklist("http://third.example/");
    world.loop.runPending();
    sets = rulesSentTo(1);
    ASSERT_EQ(sets.size(), 5u);
    EXPECT_FALSE(sets[4].whole);
    EXPECT_EQ(sets[4].rules.size(), 1u);
}

TEST(ExtensionRulesMessages, ALargeSetGoesInSeveralMessagesUnderTheLimitAndOnlyTheLastSaysSo) {
    vantrel::DomainList allowed, black;
    std::vector<std::string> names;
    for (int i = 0; i < 100000; ++i) names.push_back("host-" + std::to_string(i) + ".example.org");
    black.assign(names);
    auto set = vantrel::requestRulesFor(allowed, black, "");
    vantrel::RequestRuleIds ids;
    auto change = ids.number(set);
    for (const auto& messages : {vantrel::extension::wholeRulesMessages(7, set),
                                 vantrel::extension::changedRulesMessages(7, change)}) {
        ASSERT_GT(messages.size(), 1u);
        size_t rules = 0;
        for (size_t i = 0; i < messages.size(); ++i) {
            EXPECT_LE(messages[i].size(), vantrel::extension::kMaxMessageToBrowser);
            const auto m = Json::parse(messages[i]);
            EXPECT_EQ(m["set"], 7);
            EXPECT_EQ(m["last"], i + 1 == messages.size());
            rules += m["rules"].size();
        }
        EXPECT_EQ(rules, set.rules.size());
    }
    // No rules at all still makes one message, which clears the browser's rules.
    const auto empty = vantrel::extension::wholeRulesMessages(8, {});
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(Json::parse(empty[0])["last"], true);
    EXPECT_EQ(Json::parse(empty[0])["whole"], true);
}

TEST(ExtensionWriteMessages,
     WritesOverTheBrowsersLimitGoInSeveralMessagesAndAnOversizedOneIsLeftOut) {
    using vantrel::page::PageWrite;
    const std::string dataUrl(400 * 1024, 'A');
    std::vector<PageWrite> writes;
    for (size_t i = 0; i < 5; ++i) writes.push_back({PageWrite::Kind::ImageSrc, i, dataUrl, 0, {}});
    writes.push_back({PageWrite::Kind::ImageAlt, 5, std::string(2u << 20, 'x'), 0, {}});
    writes.push_back({PageWrite::Kind::ImageWidth, 6, {}, 468, {}});
    const auto messages = vantrel::extension::writeMessages(3, 0, 1, writes);
    std::vector<size_t> indexes;
    for (const auto& text : messages) {
        EXPECT_LE(text.size(), vantrel::extension::kMaxMessageToBrowser);
        const auto m = Json::parse(text);
        EXPECT_EQ(m["load"], 1);
        for (const auto& op : m["ops"]) indexes.push_back(op[1]);
    }
    EXPECT_EQ(messages.size(), 3u);
    EXPECT_EQ(indexes, (std::vector<size_t>{0, 1, 2, 3, 4, 6}));
}

TEST(CompositeBrowserShell, WindowsOfBothAdaptersAreInTheOrderTheyJoinedAndTheNewestIsLast) {
    vantrel::sim::SimWorld world;
    ExtensionShell extension{world.loop, vantrel::sim::SimWorld::kProgramFolder};
    vantrel::extension::CompositeBrowserShell shell({&world.browsers, &extension});
    world.browsers.open("first", "http://first.example/");
    auto windows = shell.createWindows();
    std::vector<std::string> newest;
    shell.listenWindowRegistered(
        [&] { newest.push_back(windows->Item(windows->Count() - 1)->LocationURL()); });

    extension.connected(1, [](const std::string&) {});
    extension.received(1, R"({"type":"watch","browser":"firefox"})");
    extension.received(1, R"({"type":"tab","tab":3,"window":1,"url":"http://tab.example/"})");
    world.browsers.open("second", "http://second.example/");
    extension.received(1, R"({"type":"tab","tab":4,"window":1,"url":"http://tab4.example/"})");
    EXPECT_EQ(newest, (std::vector<std::string>{"http://tab.example/", "http://second.example/",
                                                "http://tab4.example/"}));
    ASSERT_EQ(windows->Count(), 4);
    EXPECT_EQ(windows->Item(0)->LocationURL(), "http://first.example/");

    extension.disconnected(1);
    ASSERT_EQ(windows->Count(), 2);
    EXPECT_EQ(windows->Item(1)->LocationURL(), "http://second.example/");
    EXPECT_EQ(windows->Item(2), nullptr);
}

TEST(CompositeBrowserShell, ALostShellIsReachedAfreshWithItsWindowsWhileTheOtherStays) {
    vantrel::sim::SimWorld world;
    ExtensionShell extension{world.loop, vantrel::sim::SimWorld::kProgramFolder};
    vantrel::extension::CompositeBrowserShell shell({&world.browsers, &extension});
    int losses = 0;
    shell.listenConnectionLost([&] { ++losses; });
    world.browsers.open("first", "http://first.example/");
    auto windows = shell.createWindows();
    shell.listenWindowRegistered([] {});
    extension.connected(1, [](const std::string&) {});
    extension.received(1, R"({"type":"watch","browser":"firefox"})");
    extension.received(1, R"({"type":"tab","tab":3,"window":1,"url":"http://tab.example/"})");

    world.browsers.loseBrowser();
    world.loop.runPending();
    EXPECT_EQ(losses, 1);
    EXPECT_THROW(shell.createWindows(), vantrel::BrowserError) << "the browser is not back yet";
    world.browsers.comeBack();
    world.browsers.open("again", "http://again.example/");
    windows = shell.createWindows();
    ASSERT_EQ(windows->Count(), 2);
    EXPECT_EQ(windows->Item(0)->LocationURL(), "http://tab.example/");
    EXPECT_EQ(windows->Item(1)->LocationURL(), "http://again.example/");
}
