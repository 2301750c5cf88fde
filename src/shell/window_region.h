#pragma once

#include <climits>
#include <functional>
#include <optional>
#include <vector>

#include "shell/rgb_image.h"

namespace vantrel {

// Half-open rectangle: [left, right) x [top, bottom).
struct RegionRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const RegionRect&) const = default;
};

// One region-creation call's worth of rectangles with their bounding rectangle. An empty batch
// keeps the "nothing yet" bounds (INT_MAX, INT_MAX, 0, 0).
struct RegionBatch {
    static constexpr RegionRect kNoBounds{INT_MAX, INT_MAX, 0, 0};
    std::vector<RegionRect> rects;
    RegionRect bounds = kNoBounds;
};

// The window shape: the union of its batches. A platform makes one region per batch and ORs them.
struct WindowRegion {
    std::vector<RegionBatch> batches;
};

// No region call receives more rectangles than this.
inline constexpr std::size_t kRegionBatchSize = 2000;

// The shape of every pixel that is not exactly `outside`: one rectangle per maximal run of such
// pixels in a row (no vertical merging), rows from the top, batched by kRegionBatchSize. The
// last batch is always flushed, even when empty. Nothing for a missing or malformed picture.
std::optional<WindowRegion> regionFromBitmap(const RgbImage* bitmap, Rgb outside);

// The main window's shape, cut once per run from the skin on the first paint or resize. The
// region-made flag stays false when applying fails, so the next paint or resize tries again.
class FormRegion {
  public:
    static constexpr Rgb kOutside{255, 0, 255};
    // Receives the shape; may throw, and then the flag stays false.
    using Apply = std::function<void(const WindowRegion&)>;

    FormRegion(const RgbImage* skin, Apply apply) : skin_(skin), apply_(std::move(apply)) {}

    // Clears the region-made flag (start of the form's creation).
    void reset() { made_ = false; }
    // True when this paint made the region (the caller then starts the tray re-add timer).
    bool FormPaint();
    void FormResize();
    bool regionMade() const { return made_; }

  private:
    void CreateFormRegion();

    const RgbImage* skin_;
    Apply apply_;
    bool made_ = false;
};

}  // namespace vantrel
