#include <gtest/gtest.h>

#include <string>

#include "net/banner_refresh.h"
#include "net_fixture.h"

using vantrel::BannerRefresh;

namespace {

const std::string kOldBanner = "GIF89a old banner";
const std::string kNewBanner = "GIF89a new banner";

class BannerTest : public vantrel::test::NetTest {
  protected:
    BannerRefresh banner{environment};
    const std::string bannerPath = std::string(kFolder) + "removed_banner.gif";
    const std::string downloadPath = bannerPath + ".part";

    void SetUp() override { files.files[bannerPath] = kOldBanner; }
    // The banner timer's one tick, and the download answered.
    void refresh(Answer reply) {
        loop.advance(BannerRefresh::kInterval);
        ASSERT_EQ(http.count(), 1u);
        answer(0, std::move(reply));
    }
    void expectOldBannerKept() {
        EXPECT_EQ(files.files.at(bannerPath), kOldBanner);
        EXPECT_FALSE(files.exists(downloadPath));
        EXPECT_EQ(settings.vtr_banner, "");
        EXPECT_TRUE(applied.empty());
    }
};

TEST_F(BannerTest, ReplacesTheBannerOnceAPictureHasArrivedWhole) {
    refresh({200, kNewBanner});
    EXPECT_EQ(request(0).url, url("/vtr/banner/banner.gif"));
    EXPECT_EQ(request(0).filePath, downloadPath);
    EXPECT_EQ(request(0).accept, "GET");
    EXPECT_EQ(files.files.at(bannerPath), kNewBanner);
    EXPECT_FALSE(files.exists(downloadPath));
    EXPECT_EQ(settings.vtr_banner, kToday);
    EXPECT_EQ(applied, std::vector<bool>{false});
}

TEST_F(BannerTest, IsTriedOncePerStartEvenWhenItFails) {
    refresh(Answer::failure());
    expectOldBannerKept();
    loop.advance(10 * BannerRefresh::kInterval);
    EXPECT_EQ(http.count(), 1u);
    EXPECT_FALSE(banner.TimerBanner.enabled());
}

TEST_F(BannerTest, IsNotFetchedAgainOnTheSameDay) {
    settings.vtr_banner = kToday;
    loop.advance(BannerRefresh::kInterval);
    EXPECT_EQ(http.count(), 0u);
    EXPECT_FALSE(banner.TimerBanner.enabled());
}

TEST_F(BannerTest, ABrokenDownloadLeavesTheOldBannerWhole) {
    refresh({200, kNewBanner, true, 6});
    expectOldBannerKept();
}

TEST_F(BannerTest, SomethingThatIsNoPictureIsNotInstalled) {
    refresh({200, "<html>maintenance</html>"});
    expectOldBannerKept();
}

TEST_F(BannerTest, AnErrorPageIsNotInstalled) {
    refresh({404, "GIF89a not found"});
    expectOldBannerKept();
}

TEST_F(BannerTest, AnOversizedDownloadIsRefused) {
    refresh({200, kNewBanner + std::string(BannerRefresh::kMaxSize, ' ')});
    expectOldBannerKept();
}

TEST(PictureCheck, KnowsGifPngAndJpegHeaders) {
    EXPECT_TRUE(vantrel::looksLikePicture("GIF87a..."));
    EXPECT_TRUE(vantrel::looksLikePicture("\x89PNG\r\n\x1a\n..."));
    EXPECT_TRUE(vantrel::looksLikePicture("\xff\xd8\xff\xe0"));
    EXPECT_FALSE(vantrel::looksLikePicture("GIF"));
    EXPECT_FALSE(vantrel::looksLikePicture(""));
    EXPECT_FALSE(vantrel::looksLikePicture("<!DOCTYPE html>"));
}

}  // namespace
