#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/browser.h"

namespace vantrel::sim {

// Document calls a test can make fail.
enum class DocCall {
    ImageCount,
    ImageSrc,
    ImageWidth,
    ImageHeight,
    SetImageSrc,
    SetImageWidth,
    SetImageHeight,
    SetImageAlt,
    LinkCount,
    LinkIsAnchor,
    LinkHref,
    SetLinkHref,
    BodyOuterHTML,
};

// A page built from body markup. <img>, <a href> and <area href> become elements whose
// attributes live in the model; everything else is kept as text. The body's markup is generated
// from the model the way a browser serialises it, so writes to src, width, height, alt and href
// show in later reads of bodyOuterHTML.
class SimDocument : public PageDocument {
  public:
    static constexpr size_t kAnyIndex = size_t(-1);

    struct Image {
        std::string src;
        int width = 0;
        int height = 0;
        std::string alt;
        bool hasAlt = false;
    };
    struct Link {
        std::string href;
        bool anchor = true;  // false for <area>
    };

    explicit SimDocument(std::string_view bodyMarkup);

    size_t imageCount() override;
    std::string imageSrc(size_t index) override;
    int imageWidth(size_t index) override;
    int imageHeight(size_t index) override;
    void setImageSrc(size_t index, const std::string& src) override;
    void setImageWidth(size_t index, int width) override;
    void setImageHeight(size_t index, int height) override;
    void setImageAlt(size_t index, const std::string& alt) override;
    size_t linkCount() override;
    bool linkIsAnchor(size_t index) override;
    std::string linkHref(size_t index) override;
    void setLinkHref(size_t index, const std::string& href) override;
    std::string bodyOuterHTML() override;

    // The call on that element (kAnyIndex: on every element, or the call has no element) throws.
    void fail(DocCall call, size_t index = kAnyIndex) { failing_.insert({call, index}); }
    void heal() { failing_.clear(); }

    const std::vector<Image>& images() const { return images_; }
    const std::vector<Link>& links() const { return links_; }
    const std::string& markup() const { return markup_; }
    // How often each call was made, failed ones included.
    int calls(DocCall call) const;

  private:
    enum class Kind { Image, Link };
    struct Element {
        Kind kind;
        size_t index;  // into images_ or links_
        size_t start;  // of its tag in markup_
        size_t length;
        std::string extra;  // attributes the model does not hold, kept as written
    };

    void check(DocCall call, size_t index);
    void checkImage(DocCall call, size_t index);
    void checkLink(DocCall call, size_t index);
    std::string tagOf(const Element& element) const;
    void retag(size_t element);

    std::vector<Image> images_;
    std::vector<Link> links_;
    std::vector<Element> elements_;  // in document order
    std::vector<size_t> imageElement_;
    std::vector<size_t> linkElement_;
    std::string markup_;
    std::set<std::pair<DocCall, size_t>> failing_;
    std::map<DocCall, int> calls_;
};

}  // namespace vantrel::sim
