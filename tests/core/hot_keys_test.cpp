#include "engine/key_codes.h"
#include "engine_fixture.h"

using namespace vantrel;
using vantrel::test::EngineTest;

class HotKeysTest : public EngineTest {};

TEST_F(HotKeysTest, StartUpRegistersBothKeysAndShutdownReleasesThem) {
    const auto& keys = world.desktop.hotKeys;
    const int allowed = world.desktop.atomOf("VTR_hotkey");
    const int blacklist = world.desktop.atomOf("VTR_bhotkey");
    ASSERT_NE(allowed, 0);
    EXPECT_EQ(keys.at(allowed), (sim::SimDesktop::HotKey{3, 'E'}));
    EXPECT_EQ(keys.at(blacklist), (sim::SimDesktop::HotKey{3, 'B'}));
    form.FormDestroy();
    EXPECT_TRUE(keys.empty());
    EXPECT_FALSE(world.desktop.trayPresent);
}

TEST_F(HotKeysTest, AKeyThatIsNoNumberGivesA) {
    form.settings.vtr_key = "x";
    form.hotKeys.reregister();
    EXPECT_EQ(world.desktop.hotKeys.at(form.hotKeys.allowedId()).keyCode, 'A');
}

TEST_F(HotKeysTest, AKeyHeldElsewhereIsTriedAgainOnApply) {
    world.desktop.heldByOthers.insert({3, 'Q'});
    form.controls.EditHK = "q";
    form.applyOptions(false);
    EXPECT_EQ(form.settings.vtr_key, "81");
    EXPECT_EQ(world.desktop.hotKeys.count(form.hotKeys.allowedId()), 0u);
    world.desktop.heldByOthers.clear();
    form.applyOptions(false);
    EXPECT_EQ(world.desktop.hotKeys.at(form.hotKeys.allowedId()).keyCode, 'Q');
}

TEST(KeyCodes, KeysymsMapToTheirVirtualKeys) {
    EXPECT_EQ(virtualKeyFromKeysym('e'), 'E');
    EXPECT_EQ(virtualKeyFromKeysym('E'), 'E');
    EXPECT_EQ(virtualKeyFromKeysym('7'), '7');
    EXPECT_EQ(virtualKeyFromKeysym(0xFFBE), 112);  // F1
    EXPECT_EQ(virtualKeyFromKeysym(0xFFC9), 123);  // F12
    EXPECT_EQ(virtualKeyFromKeysym(0xFFB5), 101);  // keypad 5
    EXPECT_EQ(virtualKeyFromKeysym(0xFFFF), 46);   // Delete
    EXPECT_EQ(virtualKeyFromKeysym(0x1234567), 0);
}

TEST_F(HotKeysTest, KeyBoxShowsTheReleasedKeysCharacter) {
    std::string box = "E";
    form.hotKeys.EditHKKeyDown(box);
    EXPECT_EQ(box, "");
    form.hotKeys.EditHKKeyUp(box, virtualKeyFromKeysym(0xFFBF));  // F2: code 113, a small "q"
    EXPECT_EQ(box, "Q");
    form.hotKeys.EditHKKeyUp(box, virtualKeyFromKeysym(0x1234567));
    EXPECT_EQ(box, "");  // no code, no character
}

TEST_F(HotKeysTest, ForegroundActionFailuresEndSilently) {
    open("first", "http://portal.example/");
    auto site = open("site", "http://www.site.example/");
    world.desktop.foreground = site->windowHandle;
    site->failing.insert(sim::BrowserCall::LocationURL);
    form.hotKeys.hotKeyMessage(form.hotKeys.blacklistId());
    EXPECT_EQ(form.killLog.ListViewLog.rowCount(), 0u);
    EXPECT_EQ(form.lists.BlackList.size(), 0u);
    EXPECT_TRUE(world.desktop.messages.empty());
}

TEST(VantrelFormStart, APlaceholderThatCannotBeWrittenIsShownAndStartUpGoesOn) {
    sim::SimWorld world;
    world.files.failRename.insert("/opt/vantrel/removed.gif");
    VantrelForm form(world.platform());
    EXPECT_TRUE(form.FormCreate());
    EXPECT_EQ(world.desktop.messages.size(), 1u);
    EXPECT_TRUE(world.desktop.trayPresent);
    EXPECT_EQ(world.desktop.hotKeys.size(), 2u);
    EXPECT_EQ(world.files.files.count("/opt/vantrel/r468x60.gif"), 0u);  // stops at the failure
}
