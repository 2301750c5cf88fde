#include "engine_fixture.h"

using namespace vantrel;
using vantrel::test::EngineTest;

namespace {

constexpr const char* kKey = SettingsStore::kKey;

class OptionsPageTest : public EngineTest {
  protected:
    std::string stored(const std::string& name) { return world.registry.readValue(kKey, name); }
    const MenuItem& item(int index) const { return form.trayMenu.items[size_t(index)]; }
    void ok() { form.options.IBtnOkClick(true); }
    void applyWithoutSender() { form.options.IBtnOkClick(false); }
};

TEST_F(OptionsPageTest, FirstStartStoresTheInitialControlsAndMirrorsThemIntoTheTray) {
    EXPECT_EQ(stored("killpop"), "1");
    EXPECT_EQ(stored("autostart"), "1");
    EXPECT_EQ(stored("automin"), "0");
    EXPECT_EQ(stored("killidle"), "0");
    EXPECT_EQ(stored("vtr_key"), "69");
    EXPECT_EQ(stored("vtr_bkey"), "66");
    EXPECT_EQ(stored("vtr_snlevel"), "1");
    EXPECT_EQ(stored("vtr_first"), "1");
    EXPECT_EQ(world.autostart.entry, sim::SimAutostart::kExecutable);
    for (int i : {kMIKillPopup, kMIKillUrl, kMIKillBanner}) {
        EXPECT_TRUE(item(i).checked);
        EXPECT_TRUE(item(i).enabled);
    }
    EXPECT_FALSE(item(kMIDisable).checked);
    EXPECT_EQ(item(kMIKillPopup).caption, "Kill pop-ups and pop-unders");
    EXPECT_EQ(item(kMIDisable).caption, "Disable");
    EXPECT_TRUE(item(kMIPlaySound).checked);
    EXPECT_TRUE(item(kMIAutoCheckUpdates).checked);
    EXPECT_TRUE(form.updateCheck.TimerUpdate.enabled());
}

TEST_F(OptionsPageTest, OkTakesEveryControlIntoTheStoreTheTrayAndTheHotKeys) {
    form.controls.CheckBox1 = false;
    form.controls.CheckBox6 = true;
    form.controls.CheckBox7 = false;
    form.controls.CheckBox10 = false;
    form.controls.CheckBox11 = false;
    form.controls.EditHK = "q";
    form.controls.EditBHK = "Z";
    form.controls.TBSLevel = 3;
    form.settings.killlevel = "7";
    form.lists.AddURLToList(form.lists.BlackList, "ads.example");
    world.files.files.erase("/opt/vantrel/blacklist.lis");
    ok();

    EXPECT_EQ(stored("killpop"), "0");
    EXPECT_EQ(stored("automin"), "1");
    EXPECT_EQ(stored("is_blinked"), "0");
    EXPECT_EQ(stored("is_sound"), "0");
    EXPECT_EQ(stored("vtr_auto_update"), "0");
    EXPECT_EQ(stored("vtr_key"), "81");
    EXPECT_EQ(stored("vtr_bkey"), "90");
    EXPECT_EQ(stored("vtr_snlevel"), "3");
    EXPECT_EQ(stored("killlevel"), "0");
    EXPECT_FALSE(item(kMIKillPopup).checked);
    EXPECT_FALSE(item(kMIPlaySound).checked);
    EXPECT_FALSE(item(kMIAutoCheckUpdates).checked);
    EXPECT_FALSE(form.updateCheck.TimerUpdate.enabled());
    const auto& keys = world.desktop.hotKeys;
    EXPECT_EQ(keys.at(form.hotKeys.allowedId()).keyCode, 'Q');
    EXPECT_EQ(keys.at(form.hotKeys.blacklistId()).keyCode, 'Z');
    // With a sender the window goes to the tray and both lists are written.
    EXPECT_FALSE(form.application.shown());
    EXPECT_TRUE(world.desktop.trayPresent);
    EXPECT_EQ(world.files.files.at("/opt/vantrel/blacklist.lis"), "ads.example\r\n");
    EXPECT_TRUE(world.desktop.messages.empty());
}

TEST_F(OptionsPageTest, DisableGreysTheThreeKillItemsAndEnablesThemAgain) {
    form.controls.CheckBox9 = true;
    ok();
    EXPECT_TRUE(item(kMIDisable).checked);
    for (int i : {kMIKillPopup, kMIKillUrl, kMIKillBanner}) EXPECT_FALSE(item(i).enabled);
    EXPECT_TRUE(item(kMIDisable).enabled);
    form.controls.CheckBox9 = false;
    ok();
    for (int i : {kMIKillPopup, kMIKillUrl, kMIKillBanner}) EXPECT_TRUE(item(i).enabled);
}

TEST_F(OptionsPageTest, AutostartEntryIsRemovedAddedAndAnOldPathKept) {
    form.controls.CheckBox5 = false;
    ok();
    EXPECT_FALSE(world.autostart.entry);
    form.controls.CheckBox5 = true;
    ok();
    EXPECT_EQ(world.autostart.entry, sim::SimAutostart::kExecutable);
    world.autostart.entry = "/old/place/vantrel";
    ok();
    EXPECT_EQ(world.autostart.entry, "/old/place/vantrel");
}

TEST_F(OptionsPageTest, AnAutostartEntryThatCannotBeWrittenIsShownAndEndsTheApply) {
    world.autostart.entry.reset();
    world.autostart.failWrites = true;
    form.lists.AddURLToList(form.lists.CleanList, "good.example");
    world.files.files.erase("/opt/vantrel/allowed.lis");
    form.controls.CheckBox2 = false;
    ok();
    ASSERT_EQ(world.desktop.messages.size(), 1u);
    EXPECT_EQ(world.desktop.messages[0].kind, MessageBoxKind::Error);
    EXPECT_EQ(world.desktop.messages[0].caption, "Vantrel");
    EXPECT_EQ(stored("killurl"), "0");  // saved before the entry
    EXPECT_TRUE(form.application.shown());
    EXPECT_EQ(world.files.files.count("/opt/vantrel/allowed.lis"), 0u);
}

TEST_F(OptionsPageTest, SettingsThatCannotBeWrittenAreShownAndTheEntryIsLeftAlone) {
    world.registry.failWrites = true;
    form.controls.CheckBox5 = false;
    ok();
    ASSERT_EQ(world.desktop.messages.size(), 1u);
    EXPECT_EQ(world.autostart.entry, sim::SimAutostart::kExecutable);
    EXPECT_TRUE(form.application.shown());
}

TEST_F(OptionsPageTest, ApplyWithoutSenderKeepsMinimiseOnStartAndTheWindow) {
    form.controls.CheckBox6 = true;
    ok();
    form.application.restoreapplication();
    world.files.files.erase("/opt/vantrel/allowed.lis");
    applyWithoutSender();
    EXPECT_EQ(form.settings.automin, "1");
    EXPECT_TRUE(form.application.shown());
    EXPECT_EQ(world.files.files.count("/opt/vantrel/allowed.lis"), 0u);
    form.FormDestroy();
    EXPECT_EQ(stored("automin"), "1");
}

TEST_F(OptionsPageTest, AnEmptyKeyBoxKeepsTheStoredKey) {
    form.hotKeys.EditHKKeyDown(form.controls.EditHK);
    ok();
    EXPECT_TRUE(world.desktop.messages.empty());
    EXPECT_EQ(stored("vtr_key"), "69");
    EXPECT_EQ(world.desktop.hotKeys.at(form.hotKeys.allowedId()).keyCode, 'E');
}

TEST_F(OptionsPageTest, CancelDropsEditsAndReloadsTheListsOnce) {
    form.lists.AddURLToList(form.lists.CleanList, "good.example");
    form.lists.AddURLToList(form.lists.BlackList, "bad.example");
    form.controls.CheckBox1 = false;
    form.controls.CheckBox9 = true;
    form.controls.EditHK = "R";
    form.controls.TBSLevel = 3;
    form.options.IBtnCancelClick();
    EXPECT_FALSE(form.application.shown());
    EXPECT_TRUE(form.controls.CheckBox1);
    EXPECT_FALSE(form.controls.CheckBox9);
    EXPECT_EQ(form.controls.EditHK, "E");
    EXPECT_EQ(form.controls.TBSLevel, 1);
    EXPECT_EQ(form.lists.CleanLV.rowCount(), 1u);
    EXPECT_EQ(form.lists.BlackLV.rowCount(), 1u);
    EXPECT_EQ(stored("killpop"), "1");
}

}  // namespace
