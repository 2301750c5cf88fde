#include <stdexcept>

#include "engine_fixture.h"

using namespace vantrel;
using vantrel::test::EngineTest;

namespace {

class SkinnedWindowTest : public EngineTest {
  protected:
    SkinnedWindow& skin() { return form.skin; }
};

TEST_F(SkinnedWindowTest, TheWindowOpensOnTheAboutPageWithTheKillCount) {
    sim::SimWorld other;
    other.registry.writeValues(SettingsStore::kKey, {{"killpop", "1"}, {"vtr_count", "41"}});
    VantrelForm started(other.platform());
    ASSERT_TRUE(started.FormCreate());
    EXPECT_EQ(started.skin.imageItems.visiblePage(), kPageAbout);
    EXPECT_EQ(started.skin.LAbout1, "41");
    EXPECT_TRUE(started.skin.ImgLogoTextVisible);
}

TEST_F(SkinnedWindowTest, AboutTabShowsVersionAndCountAndHidesTheLogoText) {
    int aboutShown = 0;
    skin().setView({{}, {}, [&] { ++aboutShown; }});
    skin().ITabClick(kITabLog);
    EXPECT_EQ(skin().imageItems.visiblePage(), kPageLog);
    EXPECT_TRUE(skin().ImgLogoTextVisible);
    form.settings.vtr_count = 7;
    skin().ITabClick(kITabAbout);
    EXPECT_EQ(skin().imageItems.visiblePage(), kPageAbout);
    EXPECT_EQ(skin().LAbout0, "2.02");
    EXPECT_EQ(skin().LAbout1, "7");
    EXPECT_EQ(skin().LAbout0Color, (Rgb{92, 100, 103}));
    EXPECT_FALSE(skin().ImgLogoTextVisible);
    EXPECT_EQ(aboutShown, 2);
    skin().ITabClick(kIBtnOk);  // not a tab
    EXPECT_EQ(skin().imageItems.visiblePage(), kPageAbout);
}

TEST_F(SkinnedWindowTest, FirstPaintCutsTheShapeOnceAndStartsTheTrayReAdd) {
    RgbImage picture{2, 1, {255, 0, 255, 1, 2, 3}};
    std::vector<WindowRegion> applied;
    skin().setSkin(&picture, [&](const WindowRegion& region) { applied.push_back(region); });
    skin().FormPaint();
    skin().FormPaint();
    skin().FormResize();
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].batches.at(0).rects.at(0), (RegionRect{1, 0, 2, 1}));
    EXPECT_TRUE(form.trayAlert.TimerChageIcon.enabled());
}

TEST_F(SkinnedWindowTest, AResizeBeforeThePaintCutsTheShapeWithoutTheTimer) {
    RgbImage picture{1, 1, {1, 2, 3}};
    int applied = 0;
    skin().setSkin(&picture, [&](const WindowRegion&) { ++applied; });
    skin().FormResize();
    skin().FormPaint();
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(form.trayAlert.TimerChageIcon.enabled());
}

TEST_F(SkinnedWindowTest, AShapeThatCannotBeAppliedIsShownAndTriedAgain) {
    RgbImage picture{1, 1, {1, 2, 3}};
    int attempts = 0;
    skin().setSkin(&picture, [&](const WindowRegion&) {
        if (++attempts == 1) throw std::runtime_error("Assertion failure (main, 1)");
    });
    skin().FormPaint();
    ASSERT_EQ(world.desktop.messages.size(), 1u);
    EXPECT_EQ(world.desktop.messages[0].text, "Assertion failure (main, 1)");
    EXPECT_FALSE(skin().regionMade());
    skin().FormPaint();
    EXPECT_TRUE(skin().regionMade());
    EXPECT_TRUE(form.trayAlert.TimerChageIcon.enabled());
}

TEST_F(SkinnedWindowTest, HoverPicturesExpireOnTheFormsTimer) {
    skin().imageItems.IBtnMouseMove(kIBtnOk);
    EXPECT_EQ(skin().imageItems.picture(kIBtnOk), ItemPicture::Hover);
    world.loop.advance(800);
    EXPECT_EQ(skin().imageItems.picture(kIBtnOk), ItemPicture::Hover);
    world.loop.advance(200);
    EXPECT_EQ(skin().imageItems.picture(kIBtnOk), ItemPicture::Normal);
}

}  // namespace
