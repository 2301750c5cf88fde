// The browser's loss and return: the tray tip tells of both, and the browsers are connected
// again on the reconnect timer's ticks only, with every window of the returned browser watched.

#include "engine_fixture.h"

using namespace vantrel;
using vantrel::test::EngineTest;

namespace {

class BrowserRecoveryTest : public EngineTest {
  protected:
    void lose() {
        world.browsers.loseBrowser();
        settle();
    }
};

TEST_F(BrowserRecoveryTest, TheTipTellsOfTheLossAndTheReturn) {
    EXPECT_EQ(world.desktop.trayTip, TrayAlert::kTip);
    lose();
    EXPECT_EQ(world.desktop.trayTip, BrowserRecovery::kLostTip);
    EXPECT_TRUE(form.browserRecovery.lost());
    // A tray host that lost the entry gets it back on the next minimise, with the same tip.
    world.desktop.trayPresent = false;
    form.application.minimize();
    EXPECT_EQ(world.desktop.trayTip, BrowserRecovery::kLostTip);
    world.browsers.comeBack();
    world.loop.advance(BrowserRecovery::kRetryMs);
    EXPECT_EQ(world.desktop.trayTip, BrowserRecovery::kBackTip);
    EXPECT_FALSE(form.browserRecovery.lost());
}

TEST_F(BrowserRecoveryTest, ReconnectsOnlyOnTheTimerUntilTheBrowserAnswers) {
    const int before = world.browsers.collectionsCreated;
    lose();
    world.loop.advance(BrowserRecovery::kRetryMs - 1);
    EXPECT_EQ(world.browsers.collectionsCreated, before) << "no try before the first tick";
    // The unreachable browser is tried once a tick, and nothing else happens meanwhile.
    world.loop.advance(1 + 4 * BrowserRecovery::kRetryMs);
    EXPECT_EQ(world.browsers.collectionsCreated, before);
    EXPECT_EQ(world.desktop.trayTip, BrowserRecovery::kLostTip);
    world.browsers.comeBack();
    world.loop.advance(BrowserRecovery::kRetryMs);
    EXPECT_EQ(world.browsers.collectionsCreated, before + 1);
    world.loop.advance(10 * BrowserRecovery::kRetryMs);
    EXPECT_EQ(world.browsers.collectionsCreated, before + 1) << "the timer must stop once back";
    EXPECT_TRUE(world.desktop.messages.empty()) << "a loss is no error box";
}

TEST_F(BrowserRecoveryTest, TheReturnedBrowsersWindowsAreWatchedAndItsPopUpsKilled) {
    lose();
    world.browsers.comeBack();
    auto before = open("before", "http://portal.example/");
    world.loop.advance(BrowserRecovery::kRetryMs);
    EXPECT_EQ(before->sinks.size(), 1u) << "a window open at the return";
    auto page = open("page", "http://news.example/");
    EXPECT_EQ(page->sinks.size(), 1u) << "a window opened after the return";
    openPopup("pop", "http://elsewhere.example/");
    EXPECT_FALSE(world.browsers.navigate(page, "http://news.example/story"));
    settle();
    EXPECT_EQ(world.browsers.closed, std::vector<std::string>{"pop"});
}

TEST_F(BrowserRecoveryTest, ATrayEntryBroughtBackKeepsTheTipOfTheMoment) {
    form.trayAlert.TimerChageIcon.setEnabled(true);
    lose();
    world.desktop.trayPresent = false;  // the tray host lost the entry
    world.loop.advance(form.trayAlert.TimerChageIcon.interval());
    EXPECT_TRUE(world.desktop.trayPresent);
    EXPECT_EQ(world.desktop.trayTip, BrowserRecovery::kLostTip);
}

}  // namespace
