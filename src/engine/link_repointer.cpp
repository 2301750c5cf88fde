#include "engine/link_repointer.h"

#include "common/text.h"

namespace vantrel {

std::string bannerFileName(const std::string& imageSrc) {
    const size_t slash = imageSrc.rfind('/');
    if (slash == std::string::npos || slash + 1 == imageSrc.size()) return toUpperAscii(imageSrc);
    return toUpperAscii(std::string_view(imageSrc).substr(slash + 1));
}

void LinkRepointer::expectImages(const std::vector<std::string>& sources) {
    for (const auto& src : sources) index_.addPattern(bannerFileName(src));
}

LinkRepointer::Link LinkRepointer::readLink(size_t index) {
    Link link;
    try {
        link.anchor = document_.linkIsAnchor(index);
        if (!link.anchor) return link;
        std::string href = document_.linkHref(index);
        if (!href.empty()) href.pop_back();  // the href without its last character
        link.needle = index_.addPattern(toUpperAscii(href));
        link.readable = true;
    } catch (const BrowserError&) {
    }
    return link;
}

void LinkRepointer::loadLinks(size_t count) {
    links_.clear();
    links_.reserve(count);
    for (size_t i = 0; i < count; ++i) links_.push_back(readLink(i));
    closeTag_ = index_.addPattern("/A");
    linksLoaded_ = true;
}

void LinkRepointer::ChangeImageUrl(const std::string& imageSrc, const std::string& newLink) {
    try {
        const std::string name = bannerFileName(imageSrc);
        std::string markup = document_.bodyOuterHTML();
        const size_t count = document_.linkCount();
        if (!linksLoaded_ || count != links_.size()) loadLinks(count);
        index_.update(std::move(markup));
        const auto target = linkBefore(index_.addPattern(name));
        if (!target || !links_[*target].anchor) return;
        document_.setLinkHref(*target, newLink);
        links_[*target] = readLink(*target);
    } catch (const BrowserError&) {
        // The page went away or refused: this banner keeps its link.
    }
}

std::optional<size_t> LinkRepointer::linkBefore(int nameId) {
    const size_t namePos = index_.find(nameId, 0);
    if (namePos == MarkupIndex::npos) return std::nullopt;

    // The walk cuts the markup at each link and at the "/A" after it. `base` is where the cut
    // text starts; `p` is the name's position in it, 1-based, as the walk keeps it: a link not
    // found leaves the text whole yet moves `p` on by one.
    size_t base = 0;
    long long p = static_cast<long long>(namePos) + 1;
    long long lastFound = 0;
    const auto relative = [&](int id) -> long long {
        const size_t at = index_.find(id, base);
        return at == MarkupIndex::npos ? 0 : static_cast<long long>(at - base) + 1;
    };
    size_t i = 0;
    for (; i < links_.size(); ++i) {
        const Link& link = links_[i];
        if (!link.readable) continue;
        const long long f = relative(link.needle);
        lastFound = f;
        if (f > p) break;
        if (f == 0) {
            ++p;
        } else {
            base += size_t(f - 1);
            p -= f - 1;
        }
        const long long g = relative(closeTag_);
        lastFound = g;
        if (g > 0) {
            base += size_t(g - 1);
            p -= g - 1;
        }
    }
    if (i == 0 || lastFound <= 0 || document_.linkCount() < i) return std::nullopt;
    return i - 1;
}

void ChangeImageUrl(PageDocument& document, const std::string& imageSrc,
                    const std::string& newLink) {
    LinkRepointer repointer(document);
    repointer.ChangeImageUrl(imageSrc, newLink);
}

}  // namespace vantrel
