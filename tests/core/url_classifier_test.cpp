#include "engine/url_classifier.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

class UrlClassifierTest : public ::testing::Test {
  protected:
    // Both answers of both paths must agree; the fast one is returned.
    bool banned(std::string_view url) const {
        const bool fast = classifier.CheckBannedUrl(url);
        EXPECT_EQ(fast, classifier.CheckBannedUrlLinear(url)) << url;
        return fast;
    }
    bool allowed(std::string_view url) const {
        const bool fast = classifier.CheckExceptionList(url);
        EXPECT_EQ(fast, classifier.CheckExceptionListLinear(url)) << url;
        return fast;
    }

    DomainList clean;
    DomainList black;
    UrlClassifier classifier{clean, black, ""};
};

TEST_F(UrlClassifierTest, AdFragmentsHitInAnyLetterCase) {
    EXPECT_TRUE(banned("http://example.com/banners/top.gif"));
    EXPECT_TRUE(banned("HTTP://EXAMPLE.COM/BANNERS/TOP.GIF"));
    EXPECT_TRUE(banned("https://Example.com/Banners/Top.gif"));
    EXPECT_FALSE(banned("http://example.com/banner/top.gif"));
    EXPECT_FALSE(banned("http://example.com/"));
}

TEST_F(UrlClassifierTest, FragmentsMatchInsideLongerWords) {
    EXPECT_TRUE(banned("http://example.com/download1/file"));
    EXPECT_TRUE(banned("http://example.com/popular"));
    EXPECT_TRUE(banned("http://example.com/upload_form"));
    EXPECT_TRUE(banned("http://example.com/x/smartbanner/y"));
    EXPECT_TRUE(banned("http://ad.example.com/ad.gif"));  // "/AD." after the scheme's slashes
    EXPECT_TRUE(banned("http://example.com/advertising-info"));
}

TEST_F(UrlClassifierTest, AnExemptionOverridesEveryHit) {
    black.insertSorted("ads.example.com");
    EXPECT_FALSE(banned("http://example.com/ads/r468x60.gif"));
    EXPECT_FALSE(banned("http://ads.example.com/removed_simple.gif"));
    EXPECT_FALSE(banned("http://www.vantrel.example/popup.html"));
    EXPECT_FALSE(banned("http://tarnwick.example/ads/"));
    EXPECT_FALSE(banned("http://example.com/pop/paid_done"));
    EXPECT_FALSE(banned("http://example.com/R727X90/ads/"));
    EXPECT_FALSE(banned("http://quessly.example/ad_"));
    EXPECT_TRUE(banned("http://example.com/ads/r728x90.gif"));  // 728 is not an exemption
}

TEST_F(UrlClassifierTest, WithoutHttpNothingIsAHit) {
    black.insertSorted("example.com");
    EXPECT_FALSE(banned("ftp://example.com/ads/banners/popup"));
    EXPECT_FALSE(banned(""));
    EXPECT_FALSE(banned("example.com"));
    EXPECT_TRUE(banned("ftp://example.com/?next=hTTp"));  // "http" anywhere counts
    EXPECT_FALSE(banned("htt"));
    EXPECT_FALSE(banned("HTTX://example.com/ads/"));
}

TEST_F(UrlClassifierTest, BlacklistedDomainMatchesAnywhere) {
    black.insertSorted("Tracker.Example.NET");
    EXPECT_TRUE(banned("http://tracker.example.net/x.js"));
    EXPECT_TRUE(banned("http://other.org/mirror/tracker.example.net/x"));
    EXPECT_TRUE(banned("http://other.org/?u=TRACKER.example.net"));
    EXPECT_FALSE(banned("http://tracker.example.org/"));
}

TEST_F(UrlClassifierTest, AllowedListBeatsBlacklistAndFragments) {
    black.insertSorted("evil.com");
    clean.insertSorted("good.org:1");
    EXPECT_TRUE(allowed("http://GOOD.org/"));
    EXPECT_TRUE(allowed("http://x.com/?back=good.org"));
    EXPECT_FALSE(banned("http://evil.com/ads/?from=good.org"));
    EXPECT_TRUE(banned("http://evil.com/"));
    EXPECT_FALSE(allowed("http://evil.com/"));
}

TEST_F(UrlClassifierTest, ShortEntriesMatchOnlyWithTheSyncedMark) {
    black.insertSorted("xy:1");  // four characters: domain "xy" matches
    black.insertSorted("abc");   // three characters: ignored
    black.insertSorted("::1x");  // empty domain part: never matches
    EXPECT_TRUE(banned("http://fooxybar.com/"));
    EXPECT_FALSE(banned("http://abc.com/"));
    clean.insertSorted("zq:1");
    EXPECT_TRUE(allowed("http://zq.com/"));
    clean.insertSorted("abd");
    EXPECT_FALSE(allowed("http://abd.com/"));
}

TEST_F(UrlClassifierTest, ListChangesTakeEffectAtOnce) {
    black.insertSorted("late.example");
    EXPECT_TRUE(banned("http://late.example/"));
    black.replaceAt(0, "late.example:1");
    EXPECT_TRUE(banned("http://late.example/"));
    black.removeAt(0);
    EXPECT_FALSE(banned("http://late.example/"));
    clean.insertSorted("popular.example");
    EXPECT_FALSE(banned("http://popular.example/"));
    clean.clear();
    EXPECT_TRUE(banned("http://popular.example/"));
}

TEST_F(UrlClassifierTest, VendorServerAddressIsExemptOnlyWhenConfigured) {
    const char* url = "http://203.0.113.7/ads/x.gif";
    EXPECT_TRUE(banned(url));
    classifier.setVendorServerIp("203.0.113.7");
    EXPECT_FALSE(banned(url));
    EXPECT_TRUE(banned("http://203.0.113.8/ads/x.gif"));
    classifier.setVendorServerIp("");
    EXPECT_TRUE(banned(url));
}

}  // namespace
}  // namespace vantrel
