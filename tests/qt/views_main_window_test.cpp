#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include "gui/list_view_table.h"
#include "gui/pages.h"
#include "gui/skin_pictures.h"
#include "views_fixture.h"

using namespace vantrel;
using vantrel::test::ShownWindow;

namespace {

QString cell(const gui::ListViewTable* table, int row, int column = 0) {
    return table->model()->index(row, column).data().toString();
}

}  // namespace

TEST(MainWindowView, OpensOnTheAboutPageAndTabClicksShowExactlyTheirPage) {
    ShownWindow w;
    auto visiblePages = [&] {
        std::vector<int> shown;
        for (int page = 0; page < kPageCount; ++page) {
            if (w.window.page(page)->isVisible()) shown.push_back(page);
        }
        return shown;
    };
    EXPECT_EQ(visiblePages(), std::vector<int>{kPageAbout});
    for (int page : {kPageOptions, kPageAllowedList, kPageBlacklist, kPageLog, kPageAbout}) {
        w.clickItem(tabOfPage(page));
        EXPECT_EQ(visiblePages(), std::vector<int>{page}) << "tab of page " << page;
        EXPECT_EQ(w.form.skin.imageItems.picture(tabOfPage(page)), ItemPicture::Pressed);
    }
    // The About tab's click hides the logo text and shows the counter from the settings.
    EXPECT_FALSE(w.window.aboutPage().logoText()->isVisible());
    EXPECT_EQ(w.window.aboutPage().counter()->text(), QString::number(w.form.settings.vtr_count));
    EXPECT_EQ(w.window.aboutPage().versionLine()->text(), "2.02");
}

TEST(MainWindowView, ItemsShowTheModelsHoverAndPressedPictures) {
    ShownWindow w;
    QLabel* help = w.window.item(kIBtnHelp);
    auto shows = [&](const char* picture) {
        const QImage shown = help->pixmap().toImage();
        return shown == gui::resourceImage(picture).convertToFormat(shown.format());
    };
    const QPoint onHelp = w.centreOf(help);
    QTest::mouseMove(w.window.windowHandle(), onHelp);
    EXPECT_EQ(w.form.skin.imageItems.picture(kIBtnHelp), ItemPicture::Hover);
    EXPECT_TRUE(shows("BTN_HELP_OVER"));
    QTest::mousePress(w.window.windowHandle(), Qt::LeftButton, {}, onHelp);
    EXPECT_EQ(w.form.skin.imageItems.picture(kIBtnHelp), ItemPicture::Pressed);
    EXPECT_TRUE(shows("BTN_HELP_ON"));
    QTest::mouseRelease(w.window.windowHandle(), Qt::LeftButton, {}, onHelp);
    // Over the skin's background the hover picture goes back to normal.
    QTest::mouseMove(w.window.windowHandle(), QPoint(100, 320));
    EXPECT_EQ(w.form.skin.imageItems.picture(kIBtnHelp), ItemPicture::Normal);
    EXPECT_TRUE(shows("BTN_HELP"));
}

TEST(MainWindowView, TheShapeIsCutFromTheSkinOnTheFirstPaint) {
    ShownWindow w;
    ASSERT_TRUE(w.form.skin.regionMade());
    const QRegion shape = w.window.mask();
    EXPECT_FALSE(shape.contains(QPoint(1, 1)));     // magenta corner
    EXPECT_TRUE(shape.contains(QPoint(300, 200)));  // the page area
    EXPECT_TRUE(w.form.trayAlert.TimerChageIcon.enabled());
}

TEST(MainWindowView, OptionCheckBoxesMirrorTheControlsAndClicksChangeThem) {
    ShownWindow w;
    w.clickItem(kITabOptions);
    gui::OptionsPage& page = w.window.optionsPage();
    w.form.controls.CheckBox9 = true;
    w.form.controls.CheckBox1 = false;
    w.window.follow();
    EXPECT_TRUE(page.checkBox(9)->isChecked());
    EXPECT_FALSE(page.checkBox(1)->isChecked());
    EXPECT_FALSE(page.checkBox(4)->isVisible());  // the hidden image option

    w.click(page.checkBox(6));
    EXPECT_TRUE(w.form.controls.CheckBox6);
    w.click(page.checkBox(9));
    EXPECT_FALSE(w.form.controls.CheckBox9);
    EXPECT_EQ(w.form.settings.automin, "0");  // pending until OK

    w.clickItem(kIBtnOk);
    EXPECT_EQ(w.form.settings.automin, "1");
    EXPECT_FALSE(w.form.application.shown());  // OK minimises the window
    EXPECT_TRUE(w.window.isMinimized());       // offscreen: no tray host
}

TEST(MainWindowView, CancelBringsBackTheStoredStateOfEveryBox) {
    ShownWindow w;
    w.clickItem(kITabOptions);
    gui::OptionsPage& page = w.window.optionsPage();
    const bool stored = page.checkBox(2)->isChecked();
    w.click(page.checkBox(2));
    EXPECT_NE(page.checkBox(2)->isChecked(), stored);
    w.clickItem(kIBtnCancel);
    EXPECT_EQ(page.checkBox(2)->isChecked(), stored);
    EXPECT_EQ(w.form.controls.CheckBox2, stored);
}

TEST(MainWindowView, ListPagesShowTheListsAndForwardAddEnterAndDelete) {
    ShownWindow w;
    w.form.lists.AddURLToList(w.form.lists.CleanList, "http://www.Example.com:8080/path");
    w.window.follow();
    gui::DomainListPage& allowed = w.window.allowedPage();
    ASSERT_EQ(allowed.table()->model()->rowCount(), 1);
    EXPECT_EQ(cell(allowed.table(), 0), "Example.com");
    EXPECT_EQ(allowed.table()->model()->headerData(0, Qt::Horizontal).toString(), "Domain");

    w.clickItem(kITabBlackList);
    gui::DomainListPage& black = w.window.blacklistPage();
    QTest::keyClicks(black.editBox(), "ads.example.net");
    EXPECT_EQ(w.form.lists.EditBDomain, "ads.example.net");
    w.clickItem(kIBtnBAdd);
    EXPECT_EQ(w.form.lists.BlackList.size(), 1u);
    EXPECT_TRUE(black.editBox()->text().isEmpty());

    QTest::keyClicks(black.editBox(), "http://b-tracker.example/x");
    QTest::keyClick(black.editBox(), Qt::Key_Return);
    ASSERT_EQ(black.table()->model()->rowCount(), 2);
    EXPECT_EQ(cell(black.table(), 0), "ads.example.net");
    EXPECT_EQ(cell(black.table(), 1), "b-tracker.example");

    // Selecting a row and pressing Delete removes exactly that entry.
    const QRect second = black.table()->visualRect(black.table()->model()->index(1, 0));
    w.click(black.table()->viewport()->mapTo(&w.window, second.center()));
    EXPECT_EQ(w.form.lists.BlackLV.selected(), 1);
    QTest::keyClick(black.table(), Qt::Key_Delete);
    ASSERT_EQ(black.table()->model()->rowCount(), 1);
    EXPECT_EQ(cell(black.table(), 0), "ads.example.net");
    EXPECT_EQ(w.form.lists.BlackLV.selected(), -1);
}

TEST(MainWindowView, KeyBoxesShowTheReleasedKeyAndTheSliderTheLevel) {
    ShownWindow w;
    w.clickItem(kITabList);
    QLineEdit* key = w.window.allowedPage().keyBox();
    EXPECT_EQ(key->text(), "E");
    key->setFocus();
    QTest::keyPress(key, Qt::Key_K);
    EXPECT_EQ(w.form.controls.EditHK, "");  // a key pressed empties the box
    QTest::keyRelease(key, Qt::Key_K);
    EXPECT_EQ(w.form.controls.EditHK, "K");
    EXPECT_EQ(key->text(), "K");

    QSlider* slider = w.window.blacklistPage().slider();
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(w.window.allowedPage().slider(), nullptr);
    slider->setValue(3);
    EXPECT_EQ(w.form.controls.TBSLevel, 3);
    w.form.controls.TBSLevel = 2;
    w.window.follow();
    EXPECT_EQ(slider->value(), 2);
}

TEST(MainWindowView, TheLogFollowsKillsAndADoubleClickAllowsTheDomain) {
    ShownWindow w;
    w.form.killLog.tracklog("http://www.popups.example/ad.html", true);
    w.form.killLog.tracklog("", true);
    w.window.follow();
    w.clickItem(kITabLog);
    gui::ListViewTable* log = w.window.logPage().table();
    ASSERT_EQ(log->model()->rowCount(), 2);
    EXPECT_EQ(log->model()->headerData(1, Qt::Horizontal).toString(), "Killed ads");
    EXPECT_EQ(cell(log, 0, 1), "http://www.popups.example/ad.html");
    EXPECT_EQ(cell(log, 1, 1), "Popup ad");
    EXPECT_EQ(cell(log, 0, 0).size(), 14);  // MM-DD hh:mm:ss

    const QPoint first =
        log->viewport()->mapTo(&w.window, log->visualRect(log->model()->index(0, 1)).center());
    w.click(first);
    QTest::mouseDClick(w.window.windowHandle(), Qt::LeftButton, {}, first);
    ASSERT_EQ(w.form.lists.CleanList.size(), 1u);
    EXPECT_EQ(w.form.lists.CleanLV.row(0)[0], "popups.example");

    const std::int32_t kills = w.form.settings.vtr_count;
    w.clickItem(kIBtnClear);
    EXPECT_EQ(log->model()->rowCount(), 0);
    EXPECT_EQ(w.form.settings.vtr_count, kills);
}

TEST(MainWindowView, ButtonsReachTheirHandlersAndErrorsReachTheErrorBox) {
    ShownWindow w;
    w.clickItem(kIBtnHelp);
    ASSERT_EQ(w.world.desktop.openedUrls.size(), 1u);
    EXPECT_NE(w.world.desktop.openedUrls[0].find("help/?version=P202"), std::string::npos);
    w.click(QPoint(300, 150));  // the About page's banner
    EXPECT_EQ(w.world.desktop.openedUrls.size(), 2u);

    w.clickItem(kITabOptions);
    w.clickItem(kIBtnTest);
    EXPECT_EQ(w.world.desktop.sounds.size(), 1u);

    // A list file that cannot be written: the entry is refused with the error box, no crash.
    w.world.files.failRename.insert(std::string(sim::SimWorld::kProgramFolder) + "allowed.lis");
    w.clickItem(kITabList);
    QTest::keyClicks(w.window.allowedPage().editBox(), "good.example");
    w.clickItem(kIBtnAdd);
    ASSERT_FALSE(w.world.desktop.messages.empty());
    EXPECT_EQ(w.world.desktop.messages.back().kind, MessageBoxKind::Error);
    EXPECT_EQ(w.window.allowedPage().table()->model()->rowCount(), 1);
}

TEST(MainWindowView, ClosingAsksFirstAndMinimiseGoesToTheTrayOrTheTaskbar) {
    ShownWindow w;
    w.world.desktop.answers.push_back(MessageBoxAnswer::Cancel);
    w.window.close();  // the window manager's close
    EXPECT_TRUE(w.window.isVisible());
    EXPECT_EQ(w.world.desktop.messages.back().text, "Are you sure you want to exit Vantrel?");

    w.clickItem(kIBtnMin);
    EXPECT_FALSE(w.form.application.shown());
    // Offscreen there is no tray host: the window stays reachable on the taskbar.
    EXPECT_TRUE(w.window.isMinimized());
    w.form.trayMenu.TrayMessage(0x203);
    EXPECT_TRUE(w.window.isVisible());
    EXPECT_FALSE(w.window.isMinimized());
    EXPECT_TRUE(w.window.optionsPage().isVisible());

    w.world.desktop.answers.push_back(MessageBoxAnswer::Ok);
    w.clickItem(kIBtnClose);
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_TRUE(w.form.application.closed());
}

TEST(MainWindowView, AfterCancelNoRowIsSelectedAndDeleteRemovesNothing) {
    ShownWindow w;
    for (const char* domain : {"aaa.example", "bbb.example", "ccc.example"}) {
        w.form.lists.AddURLToList(w.form.lists.CleanList, domain);
    }
    w.clickItem(kITabList);
    gui::ListViewTable* table = w.window.allowedPage().table();
    w.window.follow();
    const QRect second = table->visualRect(table->model()->index(1, 0));
    w.click(table->viewport()->mapTo(&w.window, second.center()));
    ASSERT_EQ(w.form.lists.CleanLV.selected(), 1);
    QTest::keyClick(table, Qt::Key_Delete);
    ASSERT_EQ(w.form.lists.CleanList.size(), 2u);
    w.clickItem(kIBtnCancel);  // brings the deleted entry back from the file
    w.clickItem(kITabList);
    ASSERT_EQ(w.form.lists.CleanList.size(), 3u);
    // The user comes back to the list with the keyboard.
    w.form.application.restoreapplication();
    w.window.activateWindow();
    QApplication::processEvents();
    w.window.allowedPage().editBox()->setFocus(Qt::TabFocusReason);
    table->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(table->hasFocus());
    EXPECT_EQ(w.form.lists.CleanLV.selected(), -1);
    EXPECT_FALSE(table->selectionModel()->hasSelection());
    EXPECT_FALSE(table->currentIndex().isValid());
    QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_EQ(w.form.lists.CleanList.size(), 3u);
}

TEST(MainWindowView, TheSessionsEndClosesWithoutTheQuestion) {
    ShownWindow w;
    int ends = 0;
    w.window.setSessionEndHandler([&] { ++ends; });
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(w.form.application.closed());
    EXPECT_TRUE(w.world.desktop.messages.empty());  // no "Are you sure" question
    EXPECT_FALSE(w.window.isVisible());
}
