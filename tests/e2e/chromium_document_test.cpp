// A real page's markup as the engine reads it: it follows the engine's writes, and a link's
// address reads as the markup holds it.

#include <gtest/gtest.h>

#include "chromium_browser_fixture.h"
#include "engine/link_repointer.h"

using namespace chromium_test;

namespace {

const std::string kHome = "http://home.test/";

class ChromiumDocument : public ChromiumBrowser {
  protected:
    // At the page's completion, as the scanner does: each image's link re-pointed, then the
    // image replaced, one image after the other.
    void replaceEveryImageOnLoad(const std::string& path) {
        const std::string placeholder = dir.path() + "r468x60.gif";
        engine->onComplete = [this, placeholder](const std::shared_ptr<vantrel::WebBrowser>& w,
                                                 const std::string&) {
            auto doc = w->Document();
            vantrel::LinkRepointer links(*doc);
            for (size_t i = 0; i < doc->imageCount(); ++i) {
                links.ChangeImageUrl(doc->imageSrc(i), kHome);
                doc->setImageSrc(i, placeholder);
            }
            markup = doc->bodyOuterHTML();
        };
        load("site.test", path);
    }
    Json hrefs() { return driver->evaluate("Array.from(document.links).map((l) => l.href)"); }

    std::string markup;
};

TEST_F(ChromiumDocument, ASecondBannerOfTheSameFileNameLosesItsOwnLink) {
    server.page("/", "<a href='" + server.url("ads.test", "/one") + "'><img src='" +
                         server.url("ads.test", "/x/ad.gif") + "'></a><p>text</p><a href='" +
                         server.url("ads.test", "/two") + "'><img src='" +
                         server.url("ads.test", "/y/ad.gif") + "'></a>");
    replaceEveryImageOnLoad("/");
    ASSERT_TRUE(runUntil(loop, [&] {
        return hrefs() == Json::array({kHome, kHome});
    })) << hrefs().dump();
    EXPECT_EQ(markup.find("ad.gif"), std::string::npos) << markup;
}

TEST_F(ChromiumDocument, RelativeLinksAreFoundAsWrittenAndOnlyTheBannersOwnIsRepointed) {
    server.page("/",
                "<a href='/ads/one'><img src='/x/ad.gif'></a> <a href='/news?a=1&amp;b=2'>"
                "news</a>");
    const std::string news = server.url("site.test", "/news?a=1&b=2");
    replaceEveryImageOnLoad("/");
    ASSERT_TRUE(runUntil(loop, [&] {
        return hrefs() == Json::array({kHome, news});
    })) << hrefs().dump();
    EXPECT_NE(markup.find("href=\"" + kHome + "\""), std::string::npos) << markup;
    EXPECT_NE(markup.find("href=\"/news?a=1&amp;b=2\""), std::string::npos) << markup;
}

}  // namespace
