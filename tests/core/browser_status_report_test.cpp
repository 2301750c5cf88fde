// Which browsers are watched: the tray tip names them, the log notes their comings and goings
// and the requests they let go on without a verdict, and none of it counts as a kill.

#include <gtest/gtest.h>

#include "platform/sim/sim_browser_status.h"
#include "platform/sim/sim_world.h"
#include "shell/vantrel_form.h"

using namespace vantrel;

namespace {

WatchedBrowser chromium() {
    return {0, 4242, "Chromium", "156.0.7500.0", WatchedBrowser::Way::DevTools, 0};
}

WatchedBrowser firefox(std::uint64_t connection = 1, std::int64_t unanswered = 0) {
    return {connection, 5120, "Firefox", "153.0.1", WatchedBrowser::Way::Extension, unanswered};
}

class BrowserStatusTest : public ::testing::Test {
  protected:
    BrowserStatusTest() : form(platform()) { status.browsers = {chromium()}; }

    void SetUp() override {
        ASSERT_TRUE(form.FormCreate());
        world.desktop.trayChanges.clear();
    }

    VantrelPlatform platform() {
        VantrelPlatform withStatus = world.platform();
        withStatus.browserStatus = &status;
        return withStatus;
    }
    void report(std::vector<WatchedBrowser> browsers) {
        status.browsers = std::move(browsers);
        status.changed();
    }
    // The log's texts since the last call.
    std::vector<std::string> newNotes() {
        std::vector<std::string> notes;
        const auto& rows = form.killLog.ListViewLog.rows();
        for (; seen_ < rows.size(); ++seen_) {
            EXPECT_TRUE(KillLog::isNote(rows[seen_]));
            notes.push_back(rows[seen_].at(KillLog::KilledAdsColumn));
        }
        return notes;
    }
    void expectNoKillCounted() {
        EXPECT_EQ(form.settings.vtr_count, 0);
        EXPECT_TRUE(world.desktop.trayChanges.empty()) << "no blink";
        EXPECT_TRUE(world.desktop.sounds.empty());
    }

    sim::SimWorld world;
    sim::SimBrowserStatus status;
    VantrelForm form;

  private:
    size_t seen_ = 0;
};

TEST_F(BrowserStatusTest, TheTipNamesTheWatchedBrowsersAndTheLogNotesTheirComingsAndGoings) {
    EXPECT_EQ(world.desktop.trayTip, "Vantrel: watching Chromium 156") << "from the start";
    EXPECT_EQ(newNotes(),
              std::vector<std::string>{"Chromium 156 connected over the DevTools protocol"});

    report({chromium(), firefox()});
    EXPECT_EQ(world.desktop.trayTip, "Vantrel: watching Chromium 156, Firefox 153");
    EXPECT_EQ(newNotes(), std::vector<std::string>{"Firefox 153 connected through the extension"});

    // The same browser on a new connection: it went and came.
    report({chromium(), firefox(2)});
    EXPECT_EQ(newNotes(),
              (std::vector<std::string>{"Firefox 153 disconnected",
                                        "Firefox 153 connected through the extension"}));
    // A second profile of the same browser is counted, not named again.
    report({chromium(), firefox(2), firefox(3)});
    EXPECT_EQ(world.desktop.trayTip, "Vantrel: watching Chromium 156, Firefox 153 (2 profiles)");
    EXPECT_EQ(newNotes(), std::vector<std::string>{"Firefox 153 connected through the extension"});
    report({});
    EXPECT_EQ(world.desktop.trayTip, BrowserStatusReport::kNoneTip);
    EXPECT_EQ(newNotes(),
              (std::vector<std::string>{"Chromium 156 disconnected", "Firefox 153 disconnected",
                                        "Firefox 153 disconnected"}));
    expectNoKillCounted();
}

TEST_F(BrowserStatusTest, RequestsLetGoAreNotedOncePerIncrease) {
    newNotes();  // the start's
    // What the browser let go before this run saw it was told by the run that saw it.
    report({chromium(), firefox(1, 3)});
    EXPECT_EQ(newNotes(),
              std::vector<std::string>{"Firefox 153 connected through the extension"});
    report({chromium(), firefox(1, 3)});
    EXPECT_TRUE(newNotes().empty()) << "an unchanged count is no news";
    report({chromium(), firefox(1, 4)});
    EXPECT_EQ(newNotes(),
              std::vector<std::string>{"Firefox 153: 1 request went on without a verdict"});

    // The extension counts on across a reconnection: only what is new is noted.
    report({chromium()});
    report({chromium(), firefox(2, 4)});
    report({chromium(), firefox(2, 6)});
    EXPECT_EQ(newNotes(),
              (std::vector<std::string>{"Firefox 153 disconnected",
                                        "Firefox 153 connected through the extension",
                                        "Firefox 153: 2 requests went on without a verdict"}));
    // An extension started again counts from 0.
    report({chromium(), firefox(2, 1)});
    EXPECT_EQ(newNotes(),
              std::vector<std::string>{"Firefox 153: 1 request went on without a verdict"});
    EXPECT_EQ(world.desktop.trayTip, "Vantrel: watching Chromium 156, Firefox 153");
    expectNoKillCounted();
}

TEST_F(BrowserStatusTest, ADoubleClickOnANoteAllowsNothing) {
    report({chromium(), firefox()});
    report({chromium(), firefox(1, 2)});
    for (int row = 0; row < 3; ++row) {
        form.killLog.ListViewLog.select(row);
        form.killLog.ListViewLogDblClick();
    }
    EXPECT_EQ(form.lists.CleanList.size(), 0u);
    EXPECT_TRUE(world.desktop.messages.empty());
    // A kill's row among them still does.
    form.killLog.tracklog("http://www.shop.example/a", true);
    form.killLog.ListViewLog.select(3);
    form.killLog.ListViewLogDblClick();
    EXPECT_EQ(form.lists.CleanList.entries(), std::vector<std::string>{"shop.example"});
}

TEST_F(BrowserStatusTest, TheRecoveryTipsStayUntilTheWatchedBrowsersChange) {
    report({chromium(), firefox()});
    world.browsers.loseBrowser();
    report({firefox()});
    world.loop.runPending();
    EXPECT_EQ(world.desktop.trayTip, BrowserRecovery::kLostTip);
    report({});  // Firefox goes too: still the loss is what the tip tells
    EXPECT_EQ(world.desktop.trayTip, BrowserRecovery::kLostTip);

    // Chromium is reported back within the reconnection, while the recovery still counts it
    // lost; the recovery's tip then tells of the return.
    world.browsers.comeBack();
    report({chromium()});
    EXPECT_EQ(world.desktop.trayTip, BrowserRecovery::kLostTip);
    world.loop.advance(BrowserRecovery::kRetryMs);
    ASSERT_FALSE(form.browserRecovery.lost());
    EXPECT_EQ(world.desktop.trayTip, BrowserRecovery::kBackTip);
    report({chromium()});
    EXPECT_EQ(world.desktop.trayTip, BrowserRecovery::kBackTip) << "nothing changed since";

    report({chromium(), firefox(3)});
    EXPECT_EQ(world.desktop.trayTip, "Vantrel: watching Chromium 156, Firefox 153");
}

}  // namespace
