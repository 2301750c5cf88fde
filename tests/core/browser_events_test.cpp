#include "engine_fixture.h"

using namespace vantrel;
using vantrel::test::EngineTest;
using Strings = std::vector<std::string>;

TEST(BrowserEventsStart, ConnectsToTheWindowsAlreadyOpen) {
    sim::SimWorld world;
    auto a = world.browsers.open("a", "http://a.example/");
    auto b = world.browsers.open("b", "http://b.example/");
    VantrelForm form(world.platform());
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(a->sinks.size(), 1u);
    EXPECT_EQ(b->sinks.size(), 1u);
    EXPECT_NE(form.browserEvents.cookie(), 0u);
    auto c = world.browsers.open("c", "http://c.example/");
    EXPECT_EQ(c->sinks.size(), 1u);
}

TEST(BrowserEventsStart, NoBrowserShowsTheMessageAndStopsStartUp) {
    sim::SimWorld world;
    world.browsers.failing.insert(sim::BrowserCall::CreateWindows);
    VantrelForm form(world.platform());
    EXPECT_FALSE(form.FormCreate());
    ASSERT_EQ(world.desktop.messages.size(), 1u);
    EXPECT_EQ(
        world.desktop.messages[0].text,
        "Vantrel failed to connect with Chromium.\r"
        "Please close Chromium, or check the vtr_browser setting, before launching Vantrel again.");
    EXPECT_FALSE(world.desktop.trayPresent);
    EXPECT_TRUE(world.desktop.hotKeys.empty());
    EXPECT_TRUE(world.files.files.count("/opt/vantrel/r468x60.gif") == 0);
}

TEST(BrowserEventsStart, AWindowThatRefusesTheSinkIsSkippedQuietly) {
    sim::SimWorld world;
    auto a = world.browsers.open("a", "http://a.example/");
    a->failing.insert(sim::BrowserCall::Advise);
    VantrelForm form(world.platform());
    EXPECT_TRUE(form.FormCreate());
    EXPECT_EQ(form.browserEvents.cookie(), 0u);
    EXPECT_EQ(form.browserEvents.AdviseBrowser(nullptr), 0u);
}

class BrowserEventsTest : public EngineTest {};

TEST_F(BrowserEventsTest, DisabledEngineChangesNothing) {
    open("first", "http://portal.example/");
    auto news = open("news", "http://www.adnet.example/ads/x.html");
    openPopup("pop", "http://elsewhere.example/");
    form.settings.killidle = "1";
    world.desktop.foreground = news->windowHandle;
    world.browsers.requestNewWindow(news);
    EXPECT_FALSE(world.browsers.navigate(news, "http://ads.example/ads/y.html"));
    world.browsers.complete(news,
                            "<a href=\"http://a.example/c\"><img src=\"http://a.example/b.gif\" "
                            "width=468 height=60></a>");
    settle();
    EXPECT_TRUE(world.browsers.closed.empty());
    EXPECT_EQ(form.killLog.ListViewLog.rowCount(), 0u);
    EXPECT_TRUE(form.popupKiller.BannedOpeners.empty());
    EXPECT_EQ(news->document->images()[0].src, "http://a.example/b.gif");
}

TEST_F(BrowserEventsTest, AddressesWithoutHttpAreIgnoredAndStartNoSweep) {
    open("first", "http://portal.example/");
    auto news = open("news", "http://news.example/");
    openPopup("pop", "http://elsewhere.example/");
    EXPECT_FALSE(world.browsers.navigate(news, "about:blank"));
    world.browsers.complete(news);
    settle();
    EXPECT_TRUE(world.browsers.closed.empty());
    EXPECT_TRUE(world.browsers.navigate(news, "hTtP://x.example/banners/a.gif"));
}

TEST_F(BrowserEventsTest, KillSwitchesDecideWhatANavigationDoes) {
    auto first = open("first", "http://portal.example/");
    form.settings.killurl = "0";
    openPopup("pop", "http://elsewhere.example/");
    EXPECT_FALSE(world.browsers.navigate(first, "http://ads.example/ads/y.html"));
    settle();
    EXPECT_EQ(world.browsers.closed, Strings{"pop"});  // killpop alone still sweeps

    form.settings.killurl = "1";
    form.settings.killpop = "0";
    openPopup("pop2", "http://elsewhere.example/");
    EXPECT_TRUE(world.browsers.navigate(first, "http://ads.example/ads/z.html"));
    settle();
    EXPECT_EQ(world.browsers.closed, Strings{"pop"});  // swept, but a pop-up shape is no reason
    EXPECT_TRUE(form.popupKiller.TimerKillPop.enabled());
    EXPECT_EQ(form.killLog.ListViewLog.rowCount(), 2u);  // one kill each: the pop-up, the cancel
}

TEST_F(BrowserEventsTest, NewWindowNotesTheOpenerInFront) {
    open("first", "http://portal.example/");
    auto ad = open("ad", "http://www.adnet.example/ads/x.html");
    auto shop = open("shop", "http://shop.example/ads/x.html");
    form.lists.AddURLToList(form.lists.CleanList, "shop.example");
    world.desktop.foreground = ad->windowHandle;
    world.browsers.requestNewWindow(shop);  // the window in front counts, not the sender
    EXPECT_EQ(form.popupKiller.BannedOpeners, Strings{std::to_string(ad->windowHandle)});
    world.desktop.foreground = shop->windowHandle;
    world.browsers.requestNewWindow(shop);
    EXPECT_EQ(form.popupKiller.AllowedOpeners, Strings{std::to_string(shop->windowHandle)});

    form.settings.killpop = "0";
    world.browsers.requestNewWindow(shop);
    EXPECT_EQ(form.popupKiller.AllowedOpeners.size(), 1u);

    // A failing window ends the handler; marks noted before stay.
    form.settings.killpop = "1";
    world.desktop.foreground = ad->windowHandle;
    shop->failing.insert(sim::BrowserCall::Handle);
    world.browsers.requestNewWindow(ad);
    EXPECT_EQ(form.popupKiller.BannedOpeners.size(), 2u);
}

TEST_F(BrowserEventsTest, DocumentCompleteSweepsEvenWithoutBannerKilling) {
    open("first", "http://portal.example/");
    auto news = open("news", "http://news.example/");
    openPopup("pop", "http://elsewhere.example/");
    form.settings.killbanner = "0";
    world.browsers.complete(news,
                            "<a href=\"http://a.example/c\"><img src=\"http://a.example/b.gif\" "
                            "width=468 height=60></a>");
    settle();
    EXPECT_EQ(world.browsers.closed, Strings{"pop"});
    EXPECT_EQ(news->document->images()[0].src, "http://a.example/b.gif");
}
