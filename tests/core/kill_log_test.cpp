#include "engine_fixture.h"

using namespace vantrel;
using vantrel::test::EngineTest;

class KillLogTest : public EngineTest {};

TEST_F(KillLogTest, RowsShowTimeAndAddressOrPopupAd) {
    world.loop.setLocalTime({2026, 3, 4, 5, 6, 7});
    form.killLog.tracklog(" \t\r\n", true);
    form.killLog.tracklog("http://a.example/x", true);
    ASSERT_EQ(form.killLog.ListViewLog.rowCount(), 2u);
    EXPECT_EQ(form.killLog.ListViewLog.row(0), (ListView::Row{"03-04 05:06:07", "Popup ad"}));
    EXPECT_EQ(form.killLog.ListViewLog.row(1).at(1), "http://a.example/x");
    EXPECT_EQ(form.settings.vtr_count, 2);
}

TEST_F(KillLogTest, OurOwnPictureCountsAndAlertsButAddsNoRow) {
    form.killLog.tracklog("http://x.example/ADREMOVED.GIF", true);
    EXPECT_EQ(form.killLog.ListViewLog.rowCount(), 0u);
    EXPECT_EQ(form.settings.vtr_count, 1);
    EXPECT_EQ(world.desktop.sounds.size(), 1u);
    EXPECT_EQ(world.desktop.trayIcon, TrayIcon::StopIcon);
}

TEST_F(KillLogTest, BlinkAndSoundOptionsAreHonoured) {
    form.settings.is_blinked = "0";
    form.settings.is_sound = "0";
    form.killLog.tracklog("http://a.example/", true);
    EXPECT_EQ(world.desktop.trayChanges, std::vector<TrayIcon>{TrayIcon::Tray});  // only the add
    EXPECT_TRUE(world.desktop.sounds.empty());
    EXPECT_FALSE(form.trayAlert.TimerStopIcon.enabled());
    form.killSound.IBtnTestClick();
    EXPECT_EQ(world.desktop.sounds, std::vector<std::string>{sim::SimDesktop::kBuiltInSound});
}

TEST_F(KillLogTest, CounterWrapsInsteadOfOverflowing) {
    form.settings.vtr_count = 2147483647;
    form.killLog.tracklog("x", false);
    EXPECT_EQ(form.settings.vtr_count, -2147483647 - 1);
}

TEST_F(KillLogTest, WaveFileIsPlayedWhileItExists) {
    world.files.files["/home/u/kill.wav"] = "RIFF";
    form.settings.vtr_sound = "/home/u/kill.wav";
    form.killSound.PlayKillSound();
    world.files.files.erase("/home/u/kill.wav");
    form.killSound.PlayKillSound();
    EXPECT_EQ(world.desktop.sounds,
              (std::vector<std::string>{"/home/u/kill.wav", sim::SimDesktop::kBuiltInSound}));
}

TEST_F(KillLogTest, ChangeSoundTakesAnExistingFileAndCancelResetsToBuiltIn) {
    world.files.files["/home/u/new.wav"] = "RIFF";
    form.settings.vtr_sound = "/home/u/old.wav";
    world.desktop.waveChoices = {std::string("/home/u/new.wav"), std::string("/home/u/gone.wav"),
                                 std::nullopt};
    form.killSound.IBtnFolderClick();
    EXPECT_EQ(form.settings.vtr_sound, "/home/u/new.wav");
    form.killSound.IBtnFolderClick();
    EXPECT_EQ(form.settings.vtr_sound, "");
    form.killSound.IBtnFolderClick();
    EXPECT_EQ(form.settings.vtr_sound, "");
    EXPECT_EQ(world.desktop.dialogFolders, (std::vector<std::string>{"/home/u/", "/home/u/", ""}));
}

TEST_F(KillLogTest, DoubleClickAddsTheDomainAndAFileErrorIsShown) {
    form.killLog.tracklog("http://www.shop.example/a", true);
    form.killLog.ListViewLogDblClick();  // nothing selected
    EXPECT_EQ(form.lists.CleanList.size(), 0u);
    form.killLog.ListViewLog.select(0);
    form.killLog.ListViewLogDblClick();
    EXPECT_EQ(form.lists.CleanList.entries(), std::vector<std::string>{"shop.example"});

    form.killLog.tracklog("http://other.example/", true);
    form.killLog.ListViewLog.select(1);
    world.files.failWrite.insert("/opt/vantrel/allowed.lis.tmp");
    world.files.failRename.insert("/opt/vantrel/allowed.lis");
    form.killLog.ListViewLogDblClick();
    EXPECT_EQ(form.lists.CleanList.size(), 2u);  // kept in memory
    EXPECT_EQ(world.desktop.messages.size(), 1u);
}

TEST_F(KillLogTest, TrayEntryComesBackEveryTenSeconds) {
    form.trayAlert.TimerChageIcon.setEnabled(true);
    world.desktop.trayDelete();
    world.loop.advance(10000);
    EXPECT_TRUE(world.desktop.trayPresent);
    EXPECT_EQ(world.desktop.trayIcon, TrayIcon::Tray1);
}

TEST_F(KillLogTest, MenuItemTurnsTheSoundOverAndSaves) {
    form.MIPlaySoundClick();
    EXPECT_EQ(form.settings.is_sound, "0");
    EXPECT_EQ(world.registry.readValue(SettingsStore::kKey, "is_sound"), "0");
    form.MIPlaySoundClick();
    EXPECT_EQ(form.settings.is_sound, "1");
}
