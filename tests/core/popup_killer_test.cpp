#include "engine_fixture.h"

using namespace vantrel;
using vantrel::test::EngineTest;
using Strings = std::vector<std::string>;

class PopupKillerTest : public EngineTest {};

TEST_F(PopupKillerTest, FirstWindowIsNeverJudgedAndOneWindowMeansNoKill) {
    openPopup("first", "http://ads.example/popup.html");
    form.popupKiller.BannedOpeners.push_back("1");
    form.popupKiller.killpopupad();
    EXPECT_TRUE(world.browsers.closed.empty());
    EXPECT_TRUE(form.popupKiller.BannedOpeners.empty());
}

TEST_F(PopupKillerTest, PopupShapedWindowsCloseUnlessTheirSiteIsAllowed) {
    open("main", "http://news.example/");
    openPopup("allowed", "http://www.shop.example/offer");
    openPopup("other", "http://elsewhere.example/offer");
    openPopup("blank", "");
    open("toolbarOnly", "http://menu.example/", 1, false);  // a tool bar but no menu bar
    form.lists.AddURLToList(form.lists.CleanList, "http://shop.example/");
    form.popupKiller.killpopupad();
    EXPECT_EQ(world.browsers.closed, (Strings{"other", "blank", "toolbarOnly"}));
    EXPECT_EQ(loggedAddresses(),
              (Strings{"http://elsewhere.example/offer", "Popup ad", "http://menu.example/"}));
    EXPECT_EQ(form.settings.vtr_count, 3);
}

TEST_F(PopupKillerTest, WithoutKillpopPopupShapedWindowsAreJudgedAsFullWindows) {
    form.settings.killpop = "0";
    open("main", "http://news.example/");
    openPopup("plain", "http://elsewhere.example/offer");
    openPopup("advert", "http://elsewhere.example/ads/offer");
    form.popupKiller.killpopupad();
    EXPECT_EQ(world.browsers.closed, Strings{"advert"});
    form.settings.killurl = "0";
    form.popupKiller.BannedOpeners.push_back("42");
    settle();
    form.popupKiller.killpopupad();
    EXPECT_EQ(world.browsers.closed, (Strings{"advert", "plain"}));
}

TEST_F(PopupKillerTest, AnAllowedOpenerSparesEveryWindowForOneSweep) {
    open("main", "http://news.example/");
    openPopup("popup", "http://elsewhere.example/offer");
    form.popupKiller.AllowedOpeners.push_back("1");
    form.popupKiller.BannedOpeners.push_back("2");
    form.popupKiller.killpopupad();
    EXPECT_TRUE(world.browsers.closed.empty());
    EXPECT_TRUE(form.popupKiller.AllowedOpeners.empty());
    EXPECT_TRUE(form.popupKiller.BannedOpeners.empty());
    form.popupKiller.killpopupad();
    EXPECT_EQ(world.browsers.closed, Strings{"popup"});
}

TEST_F(PopupKillerTest, BannedOpenerClosesFullWindowsButNotAllowedPopups) {
    open("first", "http://news.example/");
    open("full", "http://other.example/");
    openPopup("allowedPopup", "http://shop.example/");
    form.lists.AddURLToList(form.lists.CleanList, "shop.example");
    form.popupKiller.BannedOpeners.push_back("7");
    form.popupKiller.killpopupad();
    EXPECT_EQ(world.browsers.closed, Strings{"full"});
}

TEST_F(PopupKillerTest, IdleOrCtrlKeepsTheMarks) {
    open("first", "http://news.example/");
    openPopup("popup", "http://elsewhere.example/");
    form.popupKiller.BannedOpeners.push_back("7");
    form.settings.killidle = "1";
    form.popupKiller.killpopupad();
    form.settings.killidle = "0";
    world.desktop.controlDown = true;
    form.popupKiller.killpopupad();
    EXPECT_TRUE(world.browsers.closed.empty());
    EXPECT_EQ(form.popupKiller.BannedOpeners, Strings{"7"});
    form.settings.enhotcut = "0";  // CTRL makes no difference any more
    form.popupKiller.killpopupad();
    EXPECT_EQ(world.browsers.closed, Strings{"popup"});
}

TEST_F(PopupKillerTest, AWindowFailingMidSweepEndsTheVisitAndEmptiesTheMarks) {
    open("first", "http://news.example/");
    openPopup("closed", "http://a.example/");
    auto gone = openPopup("gone", "http://b.example/");
    openPopup("after", "http://c.example/");
    gone->failing.insert(sim::BrowserCall::ToolBar);
    form.popupKiller.BannedOpeners.push_back("7");
    form.popupKiller.killpopupad();
    EXPECT_EQ(world.browsers.closed, Strings{"closed"});
    EXPECT_TRUE(form.popupKiller.BannedOpeners.empty());

    // A Quit that fails has already been logged, and ends the visit.
    settle();
    gone->failing = {sim::BrowserCall::Quit};
    form.popupKiller.killpopupad();
    EXPECT_EQ(loggedAddresses(), (Strings{"http://a.example/", "http://b.example/"}));
    EXPECT_EQ(world.browsers.closed, Strings{"closed"});

    world.browsers.failing.insert(sim::BrowserCall::CreateWindows);
    form.popupKiller.AllowedOpeners.push_back("1");
    form.popupKiller.killpopupad();
    EXPECT_TRUE(form.popupKiller.AllowedOpeners.empty());
}

TEST_F(PopupKillerTest, FirstSweepComesTwoSecondsAfterStartUp) {
    open("first", "http://news.example/");
    openPopup("popup", "http://elsewhere.example/");
    world.loop.advance(1999);
    EXPECT_TRUE(world.browsers.closed.empty());
    world.loop.advance(1);
    EXPECT_EQ(world.browsers.closed, Strings{"popup"});
    EXPECT_FALSE(form.popupKiller.TimerKillPop.enabled());
}

TEST_F(PopupKillerTest, AWindowClosedByOneEventIsGoneForTheNextEventOfTheSameTurn) {
    const auto main = open("main", "http://news.example/");
    openPopup("first", "http://elsewhere.example/one");
    openPopup("second", "http://elsewhere.example/two");
    // Both sweeps run before the loop does, as when the browser queued both events at once.
    world.browsers.navigate(main, "http://news.example/next");
    world.browsers.complete(main);
    EXPECT_EQ(world.browsers.closed, (Strings{"first", "second"}));
    EXPECT_EQ(loggedAddresses(),
              (Strings{"http://elsewhere.example/one", "http://elsewhere.example/two"}));
}

// A window the browser asks about before making it is refused exactly when the sweep after its
// opening would close it, with the lists and keys as they are at that moment.
class WindowOpeningTest : public PopupKillerTest {
  protected:
    bool refused(const std::shared_ptr<sim::SimBrowser>& opener, const std::string& url,
                 bool popUp = true) {
        bool cancel = false;
        form.browserEvents.WindowOpening(opener, url, popUp, cancel);
        return cancel;
    }
};

TEST_F(WindowOpeningTest, APopUpIsRefusedAndLoggedUnlessItsSiteOrItsOpenersSiteIsAllowed) {
    const auto news = open("news", "http://news.example/");
    const auto friendly = open("friend", "http://www.friend.example/");
    form.lists.AddURLToList(form.lists.CleanList, "friend.example");
    form.lists.AddURLToList(form.lists.CleanList, "login.example");
    EXPECT_TRUE(refused(news, "http://elsewhere.example/offer"));
    EXPECT_FALSE(refused(news, "http://login.example/sign-in"));
    EXPECT_FALSE(refused(friendly, "http://elsewhere.example/ads/offer"));
    // A blank window the opener fills or sends on is left to the sweeps.
    EXPECT_FALSE(refused(news, "about:blank"));
    EXPECT_EQ(loggedAddresses(), Strings{"http://elsewhere.example/offer"});
    EXPECT_TRUE(world.browsers.closed.empty());
    // Asked at each opening: a site allowed a moment ago counts at once.
    form.lists.AddURLToList(form.lists.CleanList, "elsewhere.example");
    EXPECT_FALSE(refused(news, "http://elsewhere.example/offer"));
}

TEST_F(WindowOpeningTest, AFullWindowIsRefusedOnlyForAnAdvertisingAddressOrOpener) {
    const auto news = open("news", "http://news.example/");
    const auto ad = open("ad", "http://www.adnet.example/ads/x.html");
    EXPECT_FALSE(refused(news, "http://other.example/", false));
    EXPECT_TRUE(refused(news, "http://other.example/ads/offer", false));
    EXPECT_TRUE(refused(ad, "http://other.example/", false));
    form.settings.killurl = "0";
    form.settings.killpop = "0";
    EXPECT_FALSE(refused(news, "http://other.example/ads/offer", false));
    // Without killpop no opener is marked, and a pop-up counts as a full window.
    EXPECT_FALSE(refused(ad, "http://other.example/"));
}

TEST_F(WindowOpeningTest, CtrlOrTheDisabledEngineLetsEveryWindowOpen) {
    const auto news = open("news", "http://news.example/");
    world.desktop.controlDown = true;
    EXPECT_FALSE(refused(news, "http://elsewhere.example/offer"));
    form.settings.enhotcut = "0";
    EXPECT_TRUE(refused(news, "http://elsewhere.example/offer"));
    form.settings.killidle = "1";
    EXPECT_FALSE(refused(news, "http://elsewhere.example/offer"));
    EXPECT_EQ(form.popupKiller.AllowedOpeners.size() + form.popupKiller.BannedOpeners.size(), 0u);
}
