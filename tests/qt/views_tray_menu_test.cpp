#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>

#include "gui/tray_menu_view.h"
#include "views_fixture.h"

using namespace vantrel;
using vantrel::test::ShownWindow;

namespace {

struct TrayMenuFixture : ShownWindow {
    gui::TrayMenuView menu{form.trayMenu,
                           [this](const std::function<void()>& h) { window.forward(h); }};
    TrayMenuFixture() {
        form.trayMenu.setShowMenu([this] { menu.open(QPoint(10, 10)); });
    }
    ~TrayMenuFixture() { menu.menu().close(); }
};

}  // namespace

TEST(TrayMenuView, ShowsTheModelsCaptionsCheckMarksAndGreyedItems) {
    TrayMenuFixture f;
    f.form.trayMenu.TrayMessage(0x205);
    ASSERT_TRUE(f.menu.menu().isVisible());
    QAction* popups = f.menu.action(kMIKillPopup);
    ASSERT_NE(popups, nullptr);
    EXPECT_EQ(popups->text(), "Kill pop-ups and pop-unders");
    EXPECT_TRUE(popups->isChecked());
    EXPECT_EQ(f.menu.action(kMIKillImage), nullptr);  // hidden
    EXPECT_EQ(f.menu.action(kCloseMI)->text(), "&Close Vantrel");
    int separators = 0;
    for (QAction* a : f.menu.menu().actions()) separators += a->isSeparator() ? 1 : 0;
    EXPECT_EQ(separators, 4);

    // "Disable" greys the three kill items; the menu shows that the next time it opens.
    f.menu.action(kMIDisable)->trigger();
    EXPECT_EQ(f.form.settings.killidle, "1");
    EXPECT_TRUE(f.window.optionsPage().checkBox(9)->isChecked());  // the window follows
    f.form.trayMenu.TrayMessage(0x205);
    EXPECT_TRUE(f.menu.action(kMIDisable)->isChecked());
    for (int item : {kMIKillPopup, kMIKillUrl, kMIKillBanner}) {
        EXPECT_FALSE(f.menu.action(item)->isEnabled()) << item;
    }
}

TEST(TrayMenuView, PageItemsShowTheWindowOnTheirPage) {
    TrayMenuFixture f;
    f.form.trayMenu.TrayMessage(0x205);
    f.menu.action(kBlackListMI)->trigger();
    EXPECT_TRUE(f.window.isVisible());
    EXPECT_TRUE(f.window.blacklistPage().isVisible());
    f.form.trayMenu.TrayMessage(0x205);
    f.menu.action(kLogsMI)->trigger();
    EXPECT_TRUE(f.window.logPage().isVisible());
    EXPECT_FALSE(f.window.blacklistPage().isVisible());
}
