#include "engine/page_scanner.h"

#include <vector>

#include "common/text.h"
#include "engine/banner_slots.h"
#include "engine/ctrl_override.h"
#include "engine/link_repointer.h"

namespace vantrel {

namespace {

// Our own placeholders, already in the page.
bool isPlaceholder(const std::string& src) {
    return containsNoCase(src, "removed_banner.gif") || containsNoCase(src, "removed.gif") ||
           containsNoCase(src, "removed_simple");
}

// The addresses of the images of banner size, read ahead so that the link search indexes their
// names in one pass. Only a hint: the scan reads every image again, and stops at the first
// failure just the same.
std::vector<std::string> bannerSizedSources(PageDocument& document, size_t count) {
    std::vector<std::string> sources;
    try {
        for (size_t i = 0; i < count; ++i) {
            std::string src = document.imageSrc(i);
            if (bannerSlotOf(document.imageWidth(i), document.imageHeight(i))) {
                sources.push_back(std::move(src));
            }
        }
    } catch (const BrowserError&) {
    }
    return sources;
}

}  // namespace

PageScanner::PageScanner(const Settings& settings, Desktop& desktop,
                         const UrlClassifier& classifier, std::string programFolder,
                         std::string homePageUrl)
    : settings_(settings),
      desktop_(desktop),
      classifier_(classifier),
      programFolder_(std::move(programFolder)),
      homePageUrl_(std::move(homePageUrl)) {}

void PageScanner::CheckDocument(const std::shared_ptr<WebBrowser>& browser) {
    if (ctrlOverride(settings_, desktop_)) return;
    if (!browser) return;
    try {
        const auto document = browser->Document();
        if (document) scan(*document);
    } catch (const BrowserError&) {
    }
}

void PageScanner::scan(PageDocument& document) {
    const size_t count = document.imageCount();
    const bool killBanners = settings_.killbanner == "1";
    LinkRepointer links(document);
    if (killBanners) links.expectImages(bannerSizedSources(document, count));
    for (size_t i = 0; i < count; ++i) {
        const std::string src = document.imageSrc(i);
        if (isPlaceholder(src)) continue;
        if (!killBanners) continue;
        const BannerSlot* slot = bannerSlotOf(document.imageWidth(i), document.imageHeight(i));
        if (!slot) continue;
        if (classifier_.CheckExceptionList(src)) continue;
        links.ChangeImageUrl(src, homePageUrl_);
        document.setImageSrc(i, programFolder_ + slot->file);
        // Shown at the size the banner had, whatever the placeholder's own size.
        document.setImageWidth(i, document.imageWidth(i));
        document.setImageHeight(i, document.imageHeight(i));
        document.setImageAlt(i, kTooltip);
    }
}

}  // namespace vantrel
