#include "platform/page/snapshot_document.h"

#include <utility>

namespace vantrel::page {

SnapshotDocument::SnapshotDocument(DocumentSnapshot snapshot, EventLoop& loop, WriteSink sink,
                                   std::shared_ptr<PlaceholderImages> placeholders)
    : snapshot_(std::move(snapshot)),
      loop_(loop),
      sink_(std::move(sink)),
      placeholders_(std::move(placeholders)) {}

DocumentSnapshot::Image& SnapshotDocument::image(size_t index) {
    if (index >= snapshot_.images.size()) throw BrowserError("no image at that index");
    return snapshot_.images[index];
}

DocumentSnapshot::Link& SnapshotDocument::link(size_t index) {
    if (index >= snapshot_.links.size()) throw BrowserError("no link at that index");
    return snapshot_.links[index];
}

void SnapshotDocument::rewriteInMarkup(DocumentSnapshot::Place& place, const std::string& text) {
    if (place.start == DocumentSnapshot::Place::kNone) return;
    const size_t start = place.start, old = place.length;
    snapshot_.bodyOuterHTML.replace(start, old, text);
    place.length = text.size();
    auto shift = [&](DocumentSnapshot::Place& p) {
        if (p.start != DocumentSnapshot::Place::kNone && p.start > start) {
            p.start = p.start + text.size() - old;
        }
    };
    for (auto& i : snapshot_.images) shift(i.inMarkup);
    for (auto& l : snapshot_.links) shift(l.inMarkup);
}

void SnapshotDocument::setImageSrc(size_t index, const std::string& src) {
    image(index).src = src;
    rewriteInMarkup(image(index).inMarkup, escapeAttribute(src));
    // A placeholder of the program folder is shown from its bytes; the page keeps the
    // engine's address beside it so that a later snapshot reads that address back.
    const std::string shown = placeholders_ ? placeholders_->dataUrlFor(src) : std::string();
    if (shown.empty()) {
        queue({PageWrite::Kind::ImageSrc, index, src, 0, {}});
    } else {
        queue({PageWrite::Kind::ImageSrc, index, shown, 0, src});
    }
}

void SnapshotDocument::setImageWidth(size_t index, int width) {
    image(index).width = width;
    queue({PageWrite::Kind::ImageWidth, index, {}, width, {}});
}

void SnapshotDocument::setImageHeight(size_t index, int height) {
    image(index).height = height;
    queue({PageWrite::Kind::ImageHeight, index, {}, height, {}});
}

void SnapshotDocument::setImageAlt(size_t index, const std::string& alt) {
    image(index);
    queue({PageWrite::Kind::ImageAlt, index, alt, 0, {}});
}

std::string SnapshotDocument::linkHref(size_t index) {
    auto& l = link(index);
    if (!l.isAnchor) throw BrowserError("not an anchor");
    return l.href;
}

void SnapshotDocument::setLinkHref(size_t index, const std::string& href) {
    auto& l = link(index);
    if (!l.isAnchor) throw BrowserError("not an anchor");
    l.href = escapeAttribute(href);
    rewriteInMarkup(l.inMarkup, l.href);
    queue({PageWrite::Kind::LinkHref, index, href, 0, {}});
}

void SnapshotDocument::queue(PageWrite write) {
    if (!sink_) return;
    unsent_.push_back(std::move(write));
    if (unsent_.size() > 1) return;
    loop_.post([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->flush();
    });
}

void SnapshotDocument::flush() {
    const auto writes = std::exchange(unsent_, {});
    if (!writes.empty()) sink_(writes);
}

}  // namespace vantrel::page
