#pragma once

#include <string>
#include <vector>

namespace vantrel::page {

// What a page looked like when it finished loading, read in one round trip by the page script.
struct DocumentSnapshot {
    // Where an attribute's value stands in the body markup.
    struct Place {
        static constexpr size_t kNone = size_t(-1);
        size_t start = kNone;
        size_t length = 0;
    };
    struct Image {
        std::string src;  // the address the engine wrote, where it wrote one
        int width = 0;
        int height = 0;
        Place inMarkup;  // of its src attribute
    };
    struct Link {
        bool isAnchor = false;
        std::string href;  // as the markup writes it: relative, with its characters escaped
        Place inMarkup;
    };

    std::string url;
    std::vector<Image> images;
    std::vector<Link> links;
    std::string bodyOuterHTML;
};

}  // namespace vantrel::page
