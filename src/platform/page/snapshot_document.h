#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/browser.h"
#include "platform/event_loop.h"
#include "platform/page/page_script.h"
#include "platform/page/placeholder_images.h"

namespace vantrel::page {

// A finished document, read from the snapshot taken when it loaded. Writes change the snapshot
// at once (its markup too) and reach the page shortly after through the adapter's sink, all
// writes of one main-loop turn together.
class SnapshotDocument : public PageDocument,
                         public std::enable_shared_from_this<SnapshotDocument> {
  public:
    // Sends writes to the page; a document without one keeps its writes in the snapshot.
    using WriteSink = std::function<void(const std::vector<PageWrite>&)>;

    SnapshotDocument(DocumentSnapshot snapshot, EventLoop& loop, WriteSink sink,
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
    WriteSink sink_;
    std::shared_ptr<PlaceholderImages> placeholders_;
    std::vector<PageWrite> unsent_;
};

}  // namespace vantrel::page
