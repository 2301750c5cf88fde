#pragma once

#include <memory>
#include <vector>

#include "platform/browser.h"
#include "platform/chromium/page_scripts.h"
#include "platform/chromium/placeholder_images.h"
#include "platform/chromium/target_tracker.h"
#include "platform/event_loop.h"

namespace vantrel::chromium {

// A finished document, read from the snapshot taken when it loaded. Writes change the snapshot
// at once (its markup too) and reach the page shortly after, all writes of one main-loop turn
// in one message.
class ChromiumDocument : public PageDocument,
                         public std::enable_shared_from_this<ChromiumDocument> {
  public:
    ChromiumDocument(DocumentSnapshot snapshot, EventLoop& loop,
                     std::weak_ptr<BrowserControl> control,
                     std::shared_ptr<PlaceholderImages> placeholders);

    size_t imageCount() override { return snapshot_.images.size(); }
    std::string imageSrc(size_t index) override { return image(index).src; }
    int imageWidth(size_t index) override { return image(index).width; }
    int imageHeight(size_t index) override { return image(index).height; }
    void setImageSrc(size_t index, const std::string& src) override;
    void setImageWidth(size_t index, int width) override;
    void setImageHeight(size_t index, int height) override;
    void setImageAlt(size_t index, const std::string& alt) override;

    size_t linkCount() override { return snapshot_.links.size(); }
    bool linkIsAnchor(size_t index) override { return link(index).isAnchor; }
    std::string linkHref(size_t index) override;
    void setLinkHref(size_t index, const std::string& href) override;

    std::string bodyOuterHTML() override { return snapshot_.bodyOuterHTML; }

  private:
    DocumentSnapshot::Image& image(size_t index);
    DocumentSnapshot::Link& link(size_t index);
    // Puts `text` where the value at `place` stood; the places after it move along.
    void rewriteInMarkup(DocumentSnapshot::Place& place, const std::string& text);
    void queue(PageWrite write);
    void flush();

    DocumentSnapshot snapshot_;
    EventLoop& loop_;
    std::weak_ptr<BrowserControl> control_;
    std::shared_ptr<PlaceholderImages> placeholders_;
    std::vector<PageWrite> unsent_;
};

}  // namespace vantrel::chromium
