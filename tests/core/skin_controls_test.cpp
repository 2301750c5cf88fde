#include <gtest/gtest.h>

#include <vector>

#include "platform/sim/sim_event_loop.h"
#include "shell/skin_controls.h"

using namespace vantrel;
using vantrel::sim::SimEventLoop;

namespace {

struct Shown {
    std::array<ItemPicture, kImageItemCount> pictures{};
    std::array<bool, kPageCount> pages{};
};

class SkinControlsTest : public ::testing::Test {
  protected:
    SkinControls::View view() {
        return {[this](int item, ItemPicture p) { shown.pictures[item] = p; },
                [this](int page, bool visible) { shown.pages[page] = visible; }};
    }

    SimEventLoop loop;
    Shown shown;
    SkinControls controls{loop, view()};
};

}  // namespace

TEST_F(SkinControlsTest, PressShowsPressedAndReleaseShowsHover) {
    controls.IBtnMouseDown(kIBtnOk);
    EXPECT_EQ(shown.pictures[kIBtnOk], ItemPicture::Pressed);
    controls.IBtnMouseUp(kIBtnOk);
    EXPECT_EQ(shown.pictures[kIBtnOk], ItemPicture::Hover);
}

TEST_F(SkinControlsTest, HoverExpiresAboutNineTenthsOfASecondAfterTheLastMove) {
    controls.IBtnMouseMove(kIBtnHelp);
    EXPECT_EQ(shown.pictures[kIBtnHelp], ItemPicture::Hover);
    loop.advance(850);
    EXPECT_EQ(shown.pictures[kIBtnHelp], ItemPicture::Hover);
    loop.advance(50);  // the ninth tick
    EXPECT_EQ(shown.pictures[kIBtnHelp], ItemPicture::Normal);
    EXPECT_FALSE(controls.hovered(kIBtnHelp));

    controls.IBtnMouseMove(kIBtnHelp);  // moving again shows it again
    EXPECT_EQ(shown.pictures[kIBtnHelp], ItemPicture::Hover);
}

TEST_F(SkinControlsTest, AnotherMoveOverTheSameItemRestartsItsCount) {
    controls.IBtnMouseMove(kIBtnCancel);
    loop.advance(500);
    controls.IBtnMouseMove(kIBtnCancel);
    loop.advance(800);
    EXPECT_EQ(shown.pictures[kIBtnCancel], ItemPicture::Hover);
    loop.advance(100);
    EXPECT_EQ(shown.pictures[kIBtnCancel], ItemPicture::Normal);
}

TEST_F(SkinControlsTest, MovingToAnotherItemOrTheBackgroundDropsTheOldHover) {
    controls.IBtnMouseMove(kIBtnOk);
    controls.IBtnMouseMove(kIBtnCancel);
    EXPECT_EQ(shown.pictures[kIBtnOk], ItemPicture::Normal);
    EXPECT_EQ(shown.pictures[kIBtnCancel], ItemPicture::Hover);
    controls.main_windowMouseMove();
    EXPECT_EQ(shown.pictures[kIBtnCancel], ItemPicture::Normal);
    EXPECT_FALSE(controls.hovered(kIBtnCancel));
}

TEST_F(SkinControlsTest, PageSwitchShowsOnePageAndPressesItsTab) {
    controls.switchPage(kPageAbout);
    controls.switchPage(kPageLog);
    EXPECT_EQ(controls.visiblePage(), kPageLog);
    EXPECT_EQ(shown.pages, (std::array<bool, kPageCount>{false, false, false, true, false}));
    EXPECT_EQ(shown.pictures[kITabLog], ItemPicture::Pressed);
    EXPECT_EQ(shown.pictures[kITabAbout], ItemPicture::Normal);
}

TEST_F(SkinControlsTest, TheVisiblePagesTabTakesNoHoverWhileOtherTabsDo) {
    controls.switchPage(kPageAbout);
    controls.IBtnMouseMove(kITabAbout);
    EXPECT_EQ(shown.pictures[kITabAbout], ItemPicture::Pressed);
    EXPECT_FALSE(controls.hovered(kITabAbout));
    loop.advance(2000);
    EXPECT_EQ(shown.pictures[kITabAbout], ItemPicture::Pressed);

    controls.IBtnMouseMove(kITabOptions);
    EXPECT_EQ(shown.pictures[kITabOptions], ItemPicture::Hover);
    controls.IBtnMouseDown(kITabOptions);  // tabs have no pressed picture of their own on a press
    EXPECT_EQ(shown.pictures[kITabOptions], ItemPicture::Hover);
}

TEST_F(SkinControlsTest, SwitchingToAHoveredTabClearsItsHoverRecord) {
    controls.switchPage(kPageAbout);
    controls.IBtnMouseMove(kITabLog);
    controls.switchPage(kPageLog);
    EXPECT_FALSE(controls.hovered(kITabLog));
    loop.advance(2000);
    EXPECT_EQ(shown.pictures[kITabLog], ItemPicture::Pressed);
}

TEST(DragZone, OnlyTheTopLeftCornerDragsTheWindow) {
    EXPECT_TRUE(inDragZone(100, 50, 100 + 173, 50 + 145));
    EXPECT_FALSE(inDragZone(100, 50, 100 + 174, 50 + 10));
    EXPECT_FALSE(inDragZone(100, 50, 100 + 10, 50 + 146));
    EXPECT_TRUE(inDragZone(-600, -20, -500, 0));  // a screen left of the primary one
}
