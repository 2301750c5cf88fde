#include <gtest/gtest.h>

#include <random>

#include "common/error.h"
#include "common/text.h"
#include "engine/banner_slots.h"
#include "engine/domain_list.h"
#include "engine/link_repointer.h"
#include "engine/page_scanner.h"
#include "engine/placeholder_files.h"
#include "engine/url_classifier.h"
#include "platform/sim/sim_browser.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_file_system.h"
#include "resources/embedded_resources.h"

using namespace vantrel;
using namespace vantrel::sim;

namespace {

constexpr const char* kHome = "http://vantrel.example/";
constexpr const char* kFolder = "/opt/vantrel/";

// The link search exactly as written: the whole markup searched for every link, every time.
void literalChangeImageUrl(PageDocument& doc, const std::string& src, const std::string& link) {
    const auto pos = [](const std::string& needle, const std::string& text) -> long long {
        if (needle.empty()) return 0;
        const size_t at = text.find(needle);
        return at == std::string::npos ? 0 : static_cast<long long>(at) + 1;
    };
    try {
        const size_t slash = src.rfind('/');
        const std::string name = toUpperAscii(
            slash == std::string::npos || slash + 1 == src.size() ? src : src.substr(slash + 1));
        std::string text = toUpperAscii(doc.bodyOuterHTML());
        long long p = pos(name, text);
        if (p == 0) return;
        const size_t count = doc.linkCount();
        long long last = 0;
        size_t i = 0;
        for (; i < count; ++i) {
            try {
                if (!doc.linkIsAnchor(i)) continue;
                std::string href = doc.linkHref(i);
                if (!href.empty()) href.pop_back();
                const long long f = pos(toUpperAscii(href), text);
                last = f;
                if (f > p) break;
                if (f > 0) text.erase(0, size_t(f - 1));
                p -= f - 1;
                const long long g = pos("/A", text);
                last = g;
                if (g > 0) {
                    text.erase(0, size_t(g - 1));
                    p -= g - 1;
                }
            } catch (const BrowserError&) {
            }
        }
        if (i > 0 && doc.linkCount() >= i && last > 0 && doc.linkIsAnchor(i - 1)) {
            doc.setLinkHref(i - 1, link);
        }
    } catch (const BrowserError&) {
    }
}

void literalScan(PageDocument& doc, const UrlClassifier& classifier) {
    try {
        for (size_t i = 0; i < doc.imageCount(); ++i) {
            const std::string src = doc.imageSrc(i);
            if (containsNoCase(src, "removed_banner.gif") || containsNoCase(src, "removed.gif") ||
                containsNoCase(src, "removed_simple")) {
                continue;
            }
            const BannerSlot* slot = bannerSlotOf(doc.imageWidth(i), doc.imageHeight(i));
            if (!slot || classifier.CheckExceptionList(src)) continue;
            literalChangeImageUrl(doc, src, kHome);
            doc.setImageSrc(i, std::string(kFolder) + slot->file);
            doc.setImageWidth(i, doc.imageWidth(i));
            doc.setImageHeight(i, doc.imageHeight(i));
            doc.setImageAlt(i, PageScanner::kTooltip);
        }
    } catch (const BrowserError&) {
    }
}

// Random pages from a small vocabulary, so that names, addresses and "/A" recur and overlap.
std::string randomPage(std::mt19937& rng) {
    static const char* kHrefs[] = {"http://ads.example/c",
                                   "http://ads.example/c?x=1&y=2",
                                   "http://a.example/",
                                   "/rel",
                                   "",
                                   "x",
                                   "http://vantrel.exampl",
                                   "HTTP://ADS.EXAMPLE/B.GIF",
                                   "http://ok.example/a/"};
    static const char* kSrcs[] = {
        "http://ads.example/b.gif",  "http://ads.example/B.GIF", "b.gif",
        "http://ok.example/banner/", "http://x.example/a",       "removed.gif",
        "http://ads.example/c"};
    static const char* kTexts[] = {"</a>", "/a",           "x",   " b.gif ", "http://ads.example/c",
                                   "<p>",  "ADS.EXAMPLE/", "/A/", "b"};
    static const std::pair<int, int> kSizes[] = {{468, 60}, {728, 90},  {727, 90},
                                                 {1, 1},    {300, 250}, {120, 600}};
    std::string page;
    const int pieces = int(rng() % 40);
    for (int i = 0; i < pieces; ++i) {
        switch (rng() % 5) {
            case 0:
                page += std::string("<a href=\"") + kHrefs[rng() % std::size(kHrefs)] + "\">";
                break;
            case 1: {
                const auto [w, h] = kSizes[rng() % std::size(kSizes)];
                page += std::string("<img src=\"") + kSrcs[rng() % std::size(kSrcs)] +
                        "\" width=" + std::to_string(w) + " height=" + std::to_string(h) + ">";
                break;
            }
            case 2:
                page += std::string("<area href=\"") + kHrefs[rng() % std::size(kHrefs)] + "\">";
                break;
            default:
                page += kTexts[rng() % std::size(kTexts)];
        }
    }
    return page;
}

class PageScannerTest : public ::testing::Test {
  protected:
    PageScannerTest() : scanner(settings, desktop, classifier, kFolder, kHome) {
        settings.killbanner = "1";
        settings.enhotcut = "1";
    }

    std::shared_ptr<SimBrowser> page(const std::string& body) {
        auto window = shell.open("page", "http://news.example/");
        window->document = std::make_shared<SimDocument>(body);
        return window;
    }

    Settings settings;
    SimDesktop desktop;
    SimEventLoop loop;
    SimBrowserShell shell{loop};
    DomainList clean, black;
    UrlClassifier classifier{clean, black, ""};
    PageScanner scanner;
};

}  // namespace

TEST_F(PageScannerTest, BannerBecomesAPlaceholderAndItsLinkLeadsHome) {
    auto window = page(
        "<a href=\"http://news.example/story\">story</a>"
        "<a href=\"http://ads.example/click\"><img src=\"http://ads.example/b/top.gif\" "
        "width=468 height=60></a><img src=\"http://ads.example/wide.gif\" width=728 height=90>"
        "<img src=\"http://ads.example/w.gif\" width=727 height=90>"
        "<img src=\"http://ads.example/big.gif\" width=600 height=600>");
    scanner.CheckDocument(window);
    const auto& images = window->document->images();
    EXPECT_EQ(images[0].src, "/opt/vantrel/r468x60.gif");
    EXPECT_EQ(images[0].width, 468);
    EXPECT_EQ(images[0].height, 60);
    EXPECT_EQ(images[0].alt, "This image has been removed by Vantrel!");
    EXPECT_EQ(images[1].src, "http://ads.example/wide.gif");  // 728 is no slot, 727 is
    EXPECT_EQ(images[2].src, "/opt/vantrel/r727x90.gif");
    EXPECT_EQ(images[3].src, "http://ads.example/big.gif");  // large images stay
    const auto& links = window->document->links();
    EXPECT_EQ(links[0].href, "http://news.example/story");
    EXPECT_EQ(links[1].href, kHome);
}

TEST_F(PageScannerTest, AllowedSitesPlaceholdersAndSwitchesLeaveThePageAlone) {
    clean.insertSorted("ads.example");
    const std::string body =
        "<a href=\"http://ads.example/c\"><img src=\"http://ads.example/b.gif\" width=468 "
        "height=60></a><img src=\"http://x.example/REMOVED.GIF\" width=468 height=60>";
    auto window = page(body);
    const std::string before = window->document->markup();
    scanner.CheckDocument(window);
    EXPECT_EQ(window->document->markup(), before);

    clean.clear();
    settings.killbanner = "0";
    scanner.CheckDocument(window);
    settings.killbanner = "1";
    desktop.controlDown = true;
    scanner.CheckDocument(window);
    EXPECT_EQ(window->document->markup(), before);
    desktop.controlDown = false;
    scanner.CheckDocument(window);
    EXPECT_NE(window->document->markup(), before);
}

TEST_F(PageScannerTest, BannerBeforeEveryLinkChangesNoLinkAndAfterTheLastRepointsIt) {
    auto window = page(
        "<img src=\"http://ads.example/b.gif\" width=468 height=60>"
        "<a href=\"http://a.example/x\">a</a>");
    scanner.CheckDocument(window);
    EXPECT_EQ(window->document->links()[0].href, "http://a.example/x");

    window = page(
        "<a href=\"http://a.example/x\">a</a>"
        "<img src=\"http://ads.example/b.gif\" width=468 height=60>");
    scanner.CheckDocument(window);
    EXPECT_EQ(window->document->links()[0].href, kHome);
}

TEST_F(PageScannerTest, AFailureMidScanKeepsTheReplacementsMadeSoFar) {
    auto window = page(
        "<a href=\"http://ads.example/1\"><img src=\"http://ads.example/1.gif\" width=468 "
        "height=60></a><a href=\"http://ads.example/2\"><img src=\"http://ads.example/2.gif\" "
        "width=468 height=60></a><img src=\"http://ads.example/3.gif\" width=468 height=60>");
    window->document->fail(DocCall::SetImageWidth, 1);
    scanner.CheckDocument(window);
    const auto& images = window->document->images();
    EXPECT_EQ(images[0].alt, PageScanner::kTooltip);
    EXPECT_EQ(images[1].src, "/opt/vantrel/r468x60.gif");  // set before the failing write
    EXPECT_FALSE(images[1].hasAlt);
    EXPECT_EQ(images[2].src, "http://ads.example/3.gif");

    // A markup that cannot be read costs the link, not the placeholder.
    auto other = page(
        "<a href=\"http://ads.example/1\"><img src=\"http://ads.example/1.gif\" "
        "width=468 height=60></a>");
    other->document->fail(DocCall::BodyOuterHTML);
    scanner.CheckDocument(other);
    EXPECT_EQ(other->document->images()[0].src, "/opt/vantrel/r468x60.gif");
    EXPECT_EQ(other->document->links()[0].href, "http://ads.example/1");
}

TEST_F(PageScannerTest, IndexedLinkSearchGivesExactlyTheLiteralResults) {
    std::mt19937 rng(20261207);
    clean.insertSorted("ok.example");
    int repointed = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::string body = randomPage(rng);
        auto fast = page(body);
        SimDocument literal(body);
        scanner.CheckDocument(fast);
        literalScan(literal, classifier);
        ASSERT_EQ(fast->document->markup(), literal.markup()) << "page: " << body;
        for (const auto& link : literal.links()) repointed += link.href == kHome ? 1 : 0;
    }
    EXPECT_GT(repointed, 1000);  // the pages do exercise the link search
}

TEST_F(PageScannerTest, HugePageScansWithOneMarkupReadPerBanner) {
    std::string body;
    for (int i = 0; i < 10000; ++i) {
        if (i % 2 == 0) body += "<a href=\"http://site.example/page" + std::to_string(i) + "\">";
        const bool banner = i % 20 == 0;
        body += "<img src=\"http://img.example/p" + std::to_string(i) +
                ".gif\" width=" + (banner ? "468 height=60>" : "10 height=10>");
        if (i % 2 == 0) body += "</a>";
        body += std::string(150, 'x');
    }
    auto window = page(body);
    ASSERT_GT(window->document->markup().size(), 2'000'000u);
    scanner.CheckDocument(window);
    const auto& doc = *window->document;
    EXPECT_EQ(doc.calls(DocCall::BodyOuterHTML), 500);
    EXPECT_EQ(doc.calls(DocCall::LinkHref), 5000 + 500);  // each link once, each re-pointed again
    EXPECT_EQ(doc.links()[0].href, kHome);
    EXPECT_EQ(doc.links()[10].href, kHome);
    EXPECT_EQ(doc.links()[11].href, "http://site.example/page22");
}

TEST(PlaceholderFiles, WrittenOnlyWhenMissing) {
    SimFileSystem files;
    files.files["/opt/vantrel/removed_banner.gif"] = "downloaded banner";
    writePlaceholderFiles(files, "/opt/vantrel/");
    EXPECT_EQ(files.files.size(), 11u);
    EXPECT_EQ(files.files["/opt/vantrel/removed_banner.gif"], "downloaded banner");
    EXPECT_EQ(files.files["/opt/vantrel/r160x600.gif"], *embeddedResource("IMG_SIMPLE_6"));

    files.files.erase("/opt/vantrel/r160x600.gif");
    const int writes = files.writeCount;
    writePlaceholderFiles(files, "/opt/vantrel/");
    EXPECT_EQ(files.files["/opt/vantrel/r160x600.gif"], *embeddedResource("IMG_SIMPLE_6"));
    EXPECT_EQ(files.writeCount, writes + 1);
}

TEST(PlaceholderFiles, AFolderThatRefusesWritesIsReportedAndLeavesNoFile) {
    SimFileSystem files;
    files.failRename.insert("/opt/vantrel/removed.gif");
    EXPECT_THROW(writePlaceholderFiles(files, "/opt/vantrel/"), Error);
    EXPECT_EQ(files.files.count("/opt/vantrel/removed.gif"), 0u);
}
