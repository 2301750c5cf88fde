#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/markup_index.h"
#include "platform/browser.h"

namespace vantrel {

// Re-points the link that leads to a banner, for one page. Gives exactly the links that a
// search of the whole upper-case markup for every link and every banner would give, but indexes
// the markup once and then only re-reads what the page's changes touched. Assumes, as on the
// main thread, that the page changes during a scan only through this scan's own writes.
class LinkRepointer {
  public:
    explicit LinkRepointer(PageDocument& document) : document_(document) {}

    // Addresses of the images likely to be replaced, so that their names share the first pass.
    void expectImages(const std::vector<std::string>& sources);
    // Sets the href of the link whose address comes last before the image's file name in the
    // markup. Failures end the call silently; a failing link is passed over.
    void ChangeImageUrl(const std::string& imageSrc, const std::string& newLink);

  private:
    struct Link {
        bool anchor = false;
        bool readable = false;  // its href could be read
        int needle = -1;
    };

    void loadLinks(size_t count);
    Link readLink(size_t index);
    // The re-pointed link, or nothing.
    std::optional<size_t> linkBefore(int nameId);

    PageDocument& document_;
    MarkupIndex index_;
    std::vector<Link> links_;
    bool linksLoaded_ = false;
    int closeTag_ = -1;
};

// The file name searched for: the text after the address's last "/", or the whole address when
// there is none or nothing follows it; upper case.
std::string bannerFileName(const std::string& imageSrc);

// The same for one image of a page (builds its own index).
void ChangeImageUrl(PageDocument& document, const std::string& imageSrc,
                    const std::string& newLink);

}  // namespace vantrel
