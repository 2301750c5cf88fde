// The window collection against a real headless Chromium: what a sweep walks, and what each
// window answers.

#include <gtest/gtest.h>

#include "chromium_browser_fixture.h"

using namespace chromium_test;
using vantrel::BrowserError;
using namespace std::chrono_literals;

namespace {

// A button `id` that opens `url` in a window of that name and shape when clicked.
std::string openButton(const std::string& id, const std::string& url, const std::string& features) {
    return "<button id=" + id + " style='display:block;width:200px;height:40px' " +
           "onclick=\"window.open('" + url + "', '" + id + "', '" + features + "')\">" + id +
           "</button>";
}

TEST_F(ChromiumBrowser, OneSweepClosesEveryPopUpAndLaterSweepsNoneAgain) {
    engine->sweeps = false;
    server.page("/", openButton("a", server.url("pop.test", "/a"), "width=300,height=200") +
                         openButton("b", server.url("pop.test", "/b"), "width=300,height=200"));
    server.page("/a", "a");
    server.page("/b", "b");
    load("site.test", "/");
    driver->click("#a");
    ASSERT_TRUE(runUntil(loop, [&] { return anyContains(engine->completed, "/a"); }));
    driver->click("#b");
    ASSERT_TRUE(runUntil(loop, [&] { return anyContains(engine->completed, "/b"); }))
        << engine->newWindows << " " << engine->registered;
    engine->sweep();
    EXPECT_EQ(engine->killed.size(), 2u);
    ASSERT_TRUE(runUntil(loop, [&] { return engine->count() == 1; }));
    engine->sweep();
    EXPECT_EQ(engine->killed.size(), 2u);
}

TEST_F(ChromiumBrowser, NavigationsCarryTheirFragment) {
    server.page("/", "<a id=l href='/story#ad_top' style='display:block;height:40px'>story</a>");
    server.page("/story", "story");
    load("site.test", "/");
    driver->click("#l");
    const std::string story = server.url("site.test", "/story#ad_top");
    ASSERT_TRUE(runUntil(loop, [&] { return anyContains(engine->completed, "/story"); }));
    EXPECT_TRUE(anyContains(engine->navigations, story)) << engine->navigations.back();
    EXPECT_EQ(engine->completed.back(), story);
}

TEST_F(ChromiumBrowser, APopUpClosedBeforeItsPageLoadsAnswersItsPendingAddress) {
    const std::string popup = server.url("pop.test", "/popup?id=7");
    server.page("/", openButton("a", popup, "width=300,height=200"));
    server.page("/popup", "pop-up");
    load("site.test", "/");
    driver->click("#a");
    ASSERT_TRUE(runUntil(loop, [&] { return !engine->killed.empty(); }));
    EXPECT_EQ(engine->killed, std::vector<std::string>{popup});
    EXPECT_FALSE(server.requested("/popup"));
}

TEST_F(ChromiumBrowser, ACrashedPageAnswersWhatIsKnownOfItAndSweepsPassOverIt) {
    server.page("/", "first");
    server.page("/opener", openButton("a", server.url("pop.test", "/popup"), "width=300"));
    server.page("/popup", "pop-up");
    load("site.test", "/");
    shell->connection().send("Page.crash", Json::object(), driver->sessionId());
    auto crashed = shell->createWindows()->Item(0);
    ASSERT_TRUE(runUntil(loop, [&] {
        try {
            crashed->Document();
            return false;
        } catch (const BrowserError&) {
            return true;
        }
    }));
    EXPECT_EQ(crashed->LocationURL(), server.url("site.test", "/"));
    EXPECT_EQ(crashed->ToolBar(), 1);
    EXPECT_TRUE(crashed->MenuBar());

    // A window opened after the crash is still judged by the sweeps.
    shell->connection().send("Target.createTarget", {{"url", server.url("other.test", "/opener")}});
    ASSERT_TRUE(runUntil(loop, [&] { return anyContains(engine->completed, "/opener"); }));
    PageDriver opener(shell->connection(), "/opener");
    opener.click("#a");
    ASSERT_TRUE(runUntil(loop, [&] { return !engine->killed.empty() && engine->count() == 2; }));
    EXPECT_FALSE(server.requested("/popup"));

    crashed->Quit();
    EXPECT_TRUE(runUntil(loop, [&] { return engine->count() == 1; }));
}

}  // namespace
