#include <gtest/gtest.h>

#include "common/error.h"
#include "platform/sim/sim_world.h"
#include "shell/program_entry.h"
#include "shell/vantrel_form.h"

using namespace vantrel;

namespace {

using Strings = std::vector<std::string>;

TEST(ProgramEntryTest, OnlyTheExactArgumentIeSkipsTheRunningCopyTest) {
    EXPECT_TRUE(checksForRunningCopy({}));
    EXPECT_FALSE(checksForRunningCopy({"ie"}));
    EXPECT_FALSE(checksForRunningCopy({"ie", "more"}));
    EXPECT_TRUE(checksForRunningCopy({"IE"}));
    EXPECT_TRUE(checksForRunningCopy({"ie "}));
    EXPECT_TRUE(checksForRunningCopy({""}));
    EXPECT_TRUE(checksForRunningCopy({"x", "ie"}));
}

class ProgramEntryRun : public ::testing::Test {
  protected:
    int run(const Strings& arguments) {
        ProgramEntry entry;
        entry.handOverToRunningCopy = [this] {
            steps.push_back("hand-over");
            return runningCopy;
        };
        entry.firstRunSequence = [this] { steps.push_back("first run"); };
        entry.runMainWindow = [this] {
            steps.push_back("main window");
            return 0;
        };
        return runProgram(arguments, store, world.desktop, entry);
    }

    sim::SimWorld world;
    SettingsStore store{world.registry};
    bool runningCopy = false;
    Strings steps;
};

TEST_F(ProgramEntryRun, ARunningCopyTakesTheHandOverAndNothingElseHappens) {
    runningCopy = true;
    EXPECT_EQ(run({}), 0);
    EXPECT_EQ(steps, Strings{"hand-over"});
    EXPECT_TRUE(world.registry.transactions.empty());
}

TEST_F(ProgramEntryRun, IeStartsASecondCopyWithoutAsking) {
    runningCopy = true;
    store.writeValue(ProgramEntry::kIntroducedValue, "1");
    run({"ie"});
    EXPECT_EQ(steps, Strings{"main window"});
}

TEST_F(ProgramEntryRun, FirstRunScreensComeOnceBeforeTheMainWindow) {
    run({});
    EXPECT_EQ(steps, (Strings{"hand-over", "first run", "main window"}));
    EXPECT_EQ(store.readValue("is_introduced"), "1");
    steps.clear();
    run({});
    EXPECT_EQ(steps, (Strings{"hand-over", "main window"}));
}

TEST_F(ProgramEntryRun, WithoutFirstRunScreensNoMarkerIsWritten) {
    ProgramEntry entry;
    entry.runMainWindow = [] { return 0; };
    runProgram({}, store, world.desktop, entry);
    EXPECT_EQ(store.readValue("is_introduced"), "");
}

TEST_F(ProgramEntryRun, AMarkerThatCannotBeWrittenIsShownAndTheWindowStillRuns) {
    world.registry.failWrites = true;
    run({});
    EXPECT_EQ(steps, (Strings{"hand-over", "first run", "main window"}));
    ASSERT_EQ(world.desktop.messages.size(), 1u);
    EXPECT_EQ(world.desktop.messages[0].kind, MessageBoxKind::Error);
}

// The main window's start-up and shutdown.
class FormLifeTest : public ::testing::Test {
  protected:
    std::string stored(const std::string& name) {
        return world.registry.readValue(SettingsStore::kKey, name);
    }
    void watchWindow(VantrelForm& form) {
        form.application.setView(
            {[this](bool shown) { windowShown.push_back(shown); }, [this] { ++closes; }});
    }

    sim::SimWorld world;
    std::vector<bool> windowShown;
    int closes = 0;
};

TEST_F(FormLifeTest, StartUpBringsEverythingUpOnTheAboutPage) {
    VantrelForm form(world.platform());
    ASSERT_TRUE(form.FormCreate());
    EXPECT_TRUE(form.serverExchange.TimerServer.enabled());
    EXPECT_TRUE(form.updateCheck.TimerUpdate.enabled());
    EXPECT_FALSE(form.application.TimerMin.enabled());
    EXPECT_EQ(form.skin.imageItems.visiblePage(), kPageAbout);
    EXPECT_EQ(form.skin.imageItems.picture(kITabAbout), ItemPicture::Pressed);
    EXPECT_EQ(world.desktop.hotKeys.size(), 2u);
    EXPECT_TRUE(world.desktop.trayPresent);
    EXPECT_EQ(world.desktop.trayTip, "Vantrel");
    EXPECT_TRUE(world.files.files.count("/opt/vantrel/removed_banner.gif"));
    EXPECT_EQ(stored("vtr_first"), "1");
    EXPECT_TRUE(form.application.shown());
}

TEST_F(FormLifeTest, LaterStartsLeaveARemovedEntryAlone) {
    world.registry.writeValues(
        SettingsStore::kKey,
        {{"killpop", "1"}, {"autostart", "0"}, {"vtr_first", "1"}, {"vtr_auto_update", "0"}});
    VantrelForm form(world.platform());
    ASSERT_TRUE(form.FormCreate());
    EXPECT_FALSE(world.autostart.entry);
    EXPECT_FALSE(form.updateCheck.TimerUpdate.enabled());
    EXPECT_FALSE(form.trayMenu.items[kMIAutoCheckUpdates].checked);
}

TEST_F(FormLifeTest, AProgramThatInstallsNoUpdatesNeverAsksForThem) {
    world.http.setAnswerer([](const HttpRequest&) {
        return sim::SimHttpTransport::Answer{200, "2.0"};
    });
    VantrelPlatform platform = world.platform();
    platform.installsUpdates = false;
    VantrelForm form(platform);
    ASSERT_TRUE(form.FormCreate());  // automatic checks are on
    world.loop.advance(UpdateCheck::kInterval);
    form.applyOptions(false);  // as every exchange with the server does
    world.loop.advance(UpdateCheck::kInterval);
    form.trayMenu.UpdateMIClick();
    world.loop.runPending();
    ASSERT_GT(world.http.count(), 0u);  // the list exchange and the banner still run
    for (size_t i = 0; i < world.http.count(); ++i) {
        EXPECT_EQ(world.http.request(i).url.find(UpdateCheck::kCheckPath), std::string::npos);
    }
    EXPECT_TRUE(world.desktop.messages.empty());
    EXPECT_EQ(stored("vtr_checked_version"), "");
}

TEST_F(FormLifeTest, MinimiseOnStartHidesTheWindowAtTheFirstTick) {
    world.registry.writeValues(SettingsStore::kKey, {{"killpop", "1"}, {"automin", "1"}});
    VantrelForm form(world.platform());
    watchWindow(form);
    ASSERT_TRUE(form.FormCreate());
    EXPECT_TRUE(form.application.TimerMin.enabled());
    EXPECT_TRUE(form.application.shown());
    world.loop.advance(1);
    EXPECT_FALSE(form.application.shown());
    EXPECT_FALSE(form.application.TimerMin.enabled());
    EXPECT_EQ(windowShown, std::vector<bool>{false});
    EXPECT_TRUE(world.desktop.trayPresent);
}

TEST_F(FormLifeTest, NoBrowserShowsTheMessageAndClosesAtTheFirstTick) {
    world.browsers.failing.insert(sim::BrowserCall::CreateWindows);
    VantrelForm form(world.platform());
    watchWindow(form);
    EXPECT_FALSE(form.FormCreate());
    ASSERT_EQ(world.desktop.messages.size(), 1u);
    EXPECT_EQ(
        world.desktop.messages[0].text,
        "Vantrel failed to connect with Chromium.\r"
        "Please close Chromium, or check the vtr_browser setting, before launching Vantrel again.");
    EXPECT_EQ(world.desktop.messages[0].caption, "Vantrel");
    EXPECT_TRUE(form.application.TimerClose.enabled());
    EXPECT_EQ(closes, 0);
    world.loop.advance(1);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(form.application.TimerClose.enabled());
    EXPECT_FALSE(world.desktop.trayPresent);
    EXPECT_TRUE(world.desktop.hotKeys.empty());

    // The orderly shutdown still saves what there is.
    form.lists.AddURLToList(form.lists.BlackList, "ads.example");
    world.files.files.erase("/opt/vantrel/blacklist.lis");
    const size_t saves = world.registry.transactions.size();
    form.FormDestroy();
    EXPECT_EQ(world.registry.transactions.size(), saves + 1);
    EXPECT_EQ(world.files.files.at("/opt/vantrel/blacklist.lis"), "ads.example\r\n");
}

TEST_F(FormLifeTest, AnErrorMidwayIsShownAndWhatOthersUseExists) {
    world.autostart.failWrites = true;
    VantrelForm form(world.platform());
    ASSERT_TRUE(form.FormCreate());
    // The first-run apply and the first-start entry both fail to write the entry.
    ASSERT_EQ(world.desktop.messages.size(), 2u);
    EXPECT_EQ(world.desktop.messages[1].kind, MessageBoxKind::Error);
    EXPECT_EQ(stored("vtr_first"), "");  // tried again at the next start
    EXPECT_TRUE(form.serverExchange.TimerServer.enabled());
    EXPECT_TRUE(form.popupKiller.TimerKillPop.enabled());
    EXPECT_EQ(world.desktop.hotKeys.size(), 2u);
    EXPECT_TRUE(world.desktop.trayPresent);

    form.lists.AddURLToList(form.lists.BlackList, "ads.example");
    auto first = world.browsers.open("first", "http://portal.example/");
    auto ad = world.browsers.open("ad", "http://ads.example/");
    world.desktop.foreground = ad->windowHandle;
    world.browsers.requestNewWindow(ad);
    EXPECT_EQ(form.popupKiller.BannedOpeners.size(), 1u);
}

TEST_F(FormLifeTest, SettingsThatCannotBeReadAreNotOverwrittenAtShutdown) {
    world.registry.writeValues(SettingsStore::kKey, {{"killpop", "0"}, {"vtr_key", "81"}});
    world.registry.failReads = true;
    VantrelForm form(world.platform());
    ASSERT_TRUE(form.FormCreate());
    ASSERT_FALSE(world.desktop.messages.empty());
    world.registry.failReads = false;
    form.FormDestroy();
    EXPECT_EQ(stored("killpop"), "0");
    EXPECT_EQ(stored("vtr_key"), "81");
}

TEST_F(FormLifeTest, AListThatCannotBeReadIsNamedAndNeverWrittenOver) {
    world.files.files["/opt/vantrel/blacklist.lis"] = "mine.example\r\n";
    world.files.unreadable.insert("/opt/vantrel/blacklist.lis");
    VantrelForm form(world.platform());
    ASSERT_TRUE(form.FormCreate());
    ASSERT_EQ(world.desktop.messages.size(), 1u);
    EXPECT_NE(world.desktop.messages[0].text.find("\"/opt/vantrel/blacklist.lis\""),
              std::string::npos);
    // A hot-key add and the shutdown leave the file alone; the allowed list is saved as ever.
    EXPECT_THROW(form.lists.AddURLToList(form.lists.BlackList, "ads.example"), Error);
    EXPECT_EQ(form.lists.BlackList.size(), 0u);
    form.lists.AddURLToList(form.lists.CleanList, "good.example");
    form.FormDestroy();
    EXPECT_EQ(world.files.files.at("/opt/vantrel/blacklist.lis"), "mine.example\r\n");
    EXPECT_EQ(world.files.files.at("/opt/vantrel/allowed.lis"), "good.example\r\n");
}

TEST_F(FormLifeTest, ShutdownSavesSettingsAndListsAndReleasesTheDesktop) {
    VantrelForm form(world.platform());
    ASSERT_TRUE(form.FormCreate());
    form.settings.vtr_count = 12;
    form.lists.AddURLToList(form.lists.CleanList, "good.example");
    world.files.files.erase("/opt/vantrel/allowed.lis");
    form.FormDestroy();
    EXPECT_EQ(stored("vtr_count"), "12");
    EXPECT_EQ(world.files.files.at("/opt/vantrel/allowed.lis"), "good.example\r\n");
    EXPECT_FALSE(world.desktop.trayPresent);
    EXPECT_TRUE(world.desktop.hotKeys.empty());
}

TEST_F(FormLifeTest, MinimiseAndRestoreHandOffBetweenWindowAndTray) {
    VantrelForm form(world.platform());
    watchWindow(form);
    ASSERT_TRUE(form.FormCreate());
    world.desktop.trayDelete();  // the tray host lost the entry
    form.application.IBtnMinClick();
    EXPECT_TRUE(world.desktop.trayPresent);
    form.application.restoreapplication();
    EXPECT_TRUE(world.desktop.trayPresent);
    EXPECT_EQ(windowShown, (std::vector<bool>{false, true}));
}

}  // namespace
