#include "engine_fixture.h"
#include "platform/tray_messages.h"

using namespace vantrel;
using vantrel::test::EngineTest;

namespace {

class TrayMenuTest : public EngineTest {
  protected:
    TrayMenu& menu() { return form.trayMenu; }
    const MenuItem& item(int index) { return form.trayMenu.items[size_t(index)]; }
    std::string stored(const std::string& name) {
        return world.registry.readValue(SettingsStore::kKey, name);
    }
};

TEST_F(TrayMenuTest, MenuHoldsItsItemsInOrder) {
    std::vector<std::string> captions;
    for (const auto& it : menu().items) {
        if (it.visible) captions.push_back(it.caption);
    }
    EXPECT_EQ(captions, (std::vector<std::string>{
                            "Kill pop-ups and pop-unders", "Kill advertising sites (URLs)",
                            "Kill standard banners", "Disable", "-", "Play &Sound",
                            "Automatic check &for updates", "-", "&Options", "&Allowed List",
                            "&Blacklist", "&View logs", "-", "&Help", "V&isit our web site",
                            "Check for &updates", "About &Vantrel", "-", "&Close Vantrel"}));
    EXPECT_FALSE(item(kMIKillImage).visible);
    EXPECT_EQ(TrayMenu::MIGetByHandle(kMIKillImage), 0);
    EXPECT_EQ(TrayMenu::MIGetByHandle(kMIDisable), 5);
}

TEST_F(TrayMenuTest, KillTogglesTurnTheirOptionOverAndSaveItWithPendingEdits) {
    form.controls.CheckBox7 = false;  // an edit still pending on the Options page
    menu().click(kMIKillUrl);
    EXPECT_FALSE(item(kMIKillUrl).checked);
    EXPECT_EQ(form.settings.killurl, "0");
    EXPECT_FALSE(form.controls.CheckBox2);
    EXPECT_EQ(stored("killurl"), "0");
    EXPECT_EQ(stored("is_blinked"), "0");
    EXPECT_TRUE(form.application.shown());  // no sender: the window stays
    menu().click(kMIKillUrl);
    EXPECT_TRUE(item(kMIKillUrl).checked);
    EXPECT_EQ(item(kMIKillUrl).caption, "Kill advertising sites (URLs)");
    EXPECT_EQ(stored("killurl"), "1");
}

TEST_F(TrayMenuTest, DisableGreysTheKillItemsWhichThenIgnoreClicks) {
    menu().click(kMIDisable);
    EXPECT_EQ(stored("killidle"), "1");
    EXPECT_TRUE(form.controls.CheckBox9);
    for (int i : {kMIKillPopup, kMIKillUrl, kMIKillBanner}) EXPECT_FALSE(item(i).enabled);
    menu().click(kMIKillPopup);
    EXPECT_EQ(form.settings.killpop, "1");
    menu().click(kMIDisable);
    for (int i : {kMIKillPopup, kMIKillUrl, kMIKillBanner}) EXPECT_TRUE(item(i).enabled);
}

TEST(TrayMenuStart, KillItemsStayEnabledUntilTheFirstApplyWhenDisabled) {
    sim::SimWorld world;
    world.registry.writeValues(SettingsStore::kKey, {{"killpop", "1"}, {"killidle", "1"}});
    VantrelForm form(world.platform());
    ASSERT_TRUE(form.FormCreate());
    EXPECT_TRUE(form.trayMenu.items[kMIDisable].checked);
    EXPECT_TRUE(form.trayMenu.items[kMIKillPopup].enabled);
    form.trayMenu.MIKillClick(kMIKillBanner);
    EXPECT_FALSE(form.trayMenu.items[kMIKillPopup].enabled);
}

TEST_F(TrayMenuTest, AutomaticUpdatesItemSwitchesTheTimerAndTheOption) {
    menu().click(kMIAutoCheckUpdates);
    EXPECT_FALSE(item(kMIAutoCheckUpdates).checked);
    EXPECT_FALSE(form.updateCheck.TimerUpdate.enabled());
    EXPECT_FALSE(form.controls.CheckBox11);
    EXPECT_EQ(stored("vtr_auto_update"), "0");
    menu().click(kMIAutoCheckUpdates);
    EXPECT_TRUE(form.updateCheck.TimerUpdate.enabled());
    EXPECT_EQ(stored("vtr_auto_update"), "1");
}

TEST_F(TrayMenuTest, SoundItemTurnsTheSoundOver) {
    menu().click(kMIPlaySound);
    EXPECT_FALSE(item(kMIPlaySound).checked);
    EXPECT_EQ(stored("is_sound"), "0");
}

TEST_F(TrayMenuTest, ClickMinimisesOrRestoresByActivation) {
    menu().TrayMessage(kTrayLeftButtonDown);
    EXPECT_FALSE(form.application.shown());
    EXPECT_TRUE(world.desktop.trayPresent);
    menu().TrayMessage(kTrayLeftButtonDown);
    EXPECT_TRUE(form.application.shown());
    form.application.setActive(false);  // another program came to the front
    menu().TrayMessage(kTrayLeftButtonDown);
    EXPECT_TRUE(form.application.shown());
    EXPECT_EQ(form.skin.imageItems.visiblePage(), kPageAbout);  // the page stays
}

TEST_F(TrayMenuTest, DoubleClickOpensTheOptionsPageAndRightClickTheMenu) {
    form.skin.switchPage(kPageLog);
    menu().TrayMessage(kTrayLeftButtonDown);
    menu().TrayMessage(kTrayLeftDoubleClick);
    EXPECT_TRUE(form.application.shown());
    EXPECT_EQ(form.skin.imageItems.visiblePage(), kPageOptions);

    int menusShown = 0;
    menu().setShowMenu([&] { ++menusShown; });
    menu().TrayMessage(kTrayRightButtonUp);
    menu().TrayMessage(0x202);  // left button up: ignored
    EXPECT_EQ(menusShown, 1);
}

TEST_F(TrayMenuTest, PageItemsRestoreTheWindowOnTheirPage) {
    const std::vector<std::pair<int, int>> itemPages = {{kOptionsMI, kPageOptions},
                                                        {kExceptionMI, kPageAllowedList},
                                                        {kBlackListMI, kPageBlacklist},
                                                        {kLogsMI, kPageLog},
                                                        {kAboutMI, kPageAbout}};
    for (auto [menuItem, page] : itemPages) {
        form.application.minimize();
        menu().click(menuItem);
        EXPECT_TRUE(form.application.shown());
        EXPECT_EQ(form.skin.imageItems.visiblePage(), page);
    }
}

TEST_F(TrayMenuTest, WebPagesOpenInTheBrowser) {
    menu().click(kHelpMI);
    menu().IBtnHelpClick();
    menu().click(kVisitMI);
    menu().imgBannerClick();
    EXPECT_EQ(world.desktop.openedUrls,
              (std::vector<std::string>{"http://vantrel.example/help/?version=P202",
                                        "http://vantrel.example/help/?version=P202",
                                        "http://vantrel.example/", "http://vantrel.example/"}));
}

TEST_F(TrayMenuTest, CloseAsksFirstAndCancelChangesNothing) {
    int closes = 0;
    form.application.setView({{}, [&] { ++closes; }});
    world.desktop.answers.push_back(MessageBoxAnswer::Cancel);
    menu().click(kCloseMI);
    ASSERT_EQ(world.desktop.messages.size(), 1u);
    EXPECT_EQ(world.desktop.messages[0].text, "Are you sure you want to exit Vantrel?");
    EXPECT_EQ(world.desktop.messages[0].caption, "Close Vantrel");
    EXPECT_EQ(world.desktop.messages[0].kind, MessageBoxKind::Confirm);
    EXPECT_TRUE(world.desktop.trayPresent);
    EXPECT_EQ(closes, 0);
    menu().click(kCloseMI);
    EXPECT_FALSE(world.desktop.trayPresent);
    EXPECT_TRUE(form.application.closed());
    EXPECT_EQ(closes, 1);
}

}  // namespace
