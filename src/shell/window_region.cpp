#include "shell/window_region.h"

#include <algorithm>

namespace vantrel {

namespace {

class BatchCollector {
  public:
    explicit BatchCollector(WindowRegion& out) : out_(out) {}

    void add(const RegionRect& rect) {
        current_.rects.push_back(rect);
        RegionRect& b = current_.bounds;
        b.left = std::min(b.left, rect.left);
        b.top = std::min(b.top, rect.top);
        b.right = std::max(b.right, rect.right);
        b.bottom = std::max(b.bottom, rect.bottom);
        if (current_.rects.size() == kRegionBatchSize) flush();
    }

    void flush() {
        out_.batches.push_back(std::move(current_));
        current_ = RegionBatch{};
    }

  private:
    WindowRegion& out_;
    RegionBatch current_;
};

}  // namespace

std::optional<WindowRegion> regionFromBitmap(const RgbImage* bitmap, Rgb outside) {
    if (bitmap == nullptr || !bitmap->valid()) return std::nullopt;
    WindowRegion region;
    BatchCollector batches(region);
    for (int y = 0; y < bitmap->height; ++y) {
        int x = 0;
        while (x < bitmap->width) {
            while (x < bitmap->width && bitmap->at(x, y) == outside) ++x;
            const int start = x;
            while (x < bitmap->width && bitmap->at(x, y) != outside) ++x;
            if (x > start) batches.add({start, y, x, y + 1});
        }
    }
    batches.flush();
    return region;
}

bool FormRegion::FormPaint() {
    if (made_) return false;
    CreateFormRegion();
    return made_;
}

void FormRegion::FormResize() {
    if (!made_) CreateFormRegion();
}

void FormRegion::CreateFormRegion() {
    const std::optional<WindowRegion> region = regionFromBitmap(skin_, kOutside);
    // Without a usable skin the window stays rectangular; that still counts as done.
    if (region) apply_(*region);
    made_ = true;
}

}  // namespace vantrel
