#include <gtest/gtest.h>

#include <stdexcept>

#include "shell/window_region.h"

using namespace vantrel;

namespace {

constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kInk{20, 40, 60};

RgbImage filled(int width, int height, Rgb colour) {
    RgbImage image{width, height, {}};
    for (int i = 0; i < width * height; ++i) {
        image.pixels.insert(image.pixels.end(), {colour.red, colour.green, colour.blue});
    }
    return image;
}

void set(RgbImage& image, int x, int y, Rgb colour) {
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + x) * 3;
    image.pixels[i] = colour.red;
    image.pixels[i + 1] = colour.green;
    image.pixels[i + 2] = colour.blue;
}

std::vector<RegionRect> allRects(const WindowRegion& region) {
    std::vector<RegionRect> rects;
    for (const RegionBatch& batch : region.batches) {
        rects.insert(rects.end(), batch.rects.begin(), batch.rects.end());
    }
    return rects;
}

// One row of `runs` single-pixel runs: ink, magenta, ink, ...
RgbImage alternatingRow(int runs) {
    RgbImage image = filled(runs * 2, 1, kMagenta);
    for (int i = 0; i < runs; ++i) set(image, i * 2, 0, kInk);
    return image;
}

}  // namespace

TEST(RegionFromBitmap, MissingOrMalformedPictureGivesNoRegion) {
    EXPECT_FALSE(regionFromBitmap(nullptr, kMagenta));
    RgbImage empty;
    EXPECT_FALSE(regionFromBitmap(&empty, kMagenta));
    RgbImage truncated = filled(4, 4, kInk);
    truncated.pixels.pop_back();
    EXPECT_FALSE(regionFromBitmap(&truncated, kMagenta));
}

TEST(RegionFromBitmap, AllOutsideYieldsOneEmptyBatch) {
    const RgbImage image = filled(30, 20, kMagenta);
    const auto region = regionFromBitmap(&image, kMagenta);
    ASSERT_TRUE(region);
    ASSERT_EQ(region->batches.size(), 1u);
    EXPECT_TRUE(region->batches[0].rects.empty());
    EXPECT_EQ(region->batches[0].bounds, RegionBatch::kNoBounds);
}

TEST(RegionFromBitmap, NoOutsideYieldsOneFullRowRectanglePerRow) {
    const RgbImage image = filled(7, 3, kInk);
    const auto region = regionFromBitmap(&image, kMagenta);
    ASSERT_TRUE(region);
    EXPECT_EQ(allRects(*region),
              (std::vector<RegionRect>{{0, 0, 7, 1}, {0, 1, 7, 2}, {0, 2, 7, 3}}));
    EXPECT_EQ(region->batches[0].bounds, (RegionRect{0, 0, 7, 3}));
}

TEST(RegionFromBitmap, RunsPerRowWithoutVerticalMerging) {
    // Row 0: ..##.#   Row 1: ##....   Row 2: all outside   Row 3: .####.
    RgbImage image = filled(6, 4, kMagenta);
    for (int x : {2, 3, 5}) set(image, x, 0, kInk);
    for (int x : {0, 1}) set(image, x, 1, kInk);
    for (int x : {1, 2, 3, 4}) set(image, x, 3, kInk);
    const auto region = regionFromBitmap(&image, kMagenta);
    ASSERT_TRUE(region);
    EXPECT_EQ(allRects(*region),
              (std::vector<RegionRect>{{2, 0, 4, 1}, {5, 0, 6, 1}, {0, 1, 2, 2}, {1, 3, 5, 4}}));
    EXPECT_EQ(region->batches[0].bounds, (RegionRect{0, 0, 6, 4}));
}

TEST(RegionFromBitmap, AlternatingPixelsGiveOneByOneRectangles) {
    const RgbImage image = alternatingRow(5);
    const auto region = regionFromBitmap(&image, kMagenta);
    ASSERT_TRUE(region);
    const auto rects = allRects(*region);
    ASSERT_EQ(rects.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(rects[i], (RegionRect{i * 2, 0, i * 2 + 1, 1}));
}

TEST(RegionFromBitmap, OnlyTheExactKeyColourIsOutside) {
    RgbImage image = filled(4, 1, kMagenta);
    set(image, 0, 0, {254, 0, 255});
    set(image, 1, 0, {255, 1, 255});
    set(image, 2, 0, {255, 0, 254});
    const auto region = regionFromBitmap(&image, kMagenta);
    ASSERT_TRUE(region);
    EXPECT_EQ(allRects(*region), (std::vector<RegionRect>{{0, 0, 3, 1}}));
}

TEST(RegionFromBitmap, BatchesHoldAtMost2000RectanglesWithTheirOwnBounds) {
    const RgbImage image = alternatingRow(2500);
    const auto region = regionFromBitmap(&image, kMagenta);
    ASSERT_TRUE(region);
    ASSERT_EQ(region->batches.size(), 2u);
    EXPECT_EQ(region->batches[0].rects.size(), 2000u);
    EXPECT_EQ(region->batches[0].bounds, (RegionRect{0, 0, 3999, 1}));
    EXPECT_EQ(region->batches[1].rects.size(), 500u);
    EXPECT_EQ(region->batches[1].bounds, (RegionRect{4000, 0, 4999, 1}));
}

TEST(RegionFromBitmap, AFullLastBatchIsFollowedByAnEmptyFlush) {
    const RgbImage image = alternatingRow(2000);
    const auto region = regionFromBitmap(&image, kMagenta);
    ASSERT_TRUE(region);
    ASSERT_EQ(region->batches.size(), 2u);
    EXPECT_EQ(region->batches[0].rects.size(), 2000u);
    EXPECT_TRUE(region->batches[1].rects.empty());
    EXPECT_EQ(region->batches[1].bounds, RegionBatch::kNoBounds);
}

TEST(RegionFromBitmap, BatchesSpanRowBoundaries) {
    // 3 rows of 1000 runs: the first batch ends inside the second row.
    RgbImage image = filled(2000, 3, kMagenta);
    for (int y = 0; y < 3; ++y) {
        for (int i = 0; i < 1000; ++i) set(image, i * 2, y, kInk);
    }
    const auto region = regionFromBitmap(&image, kMagenta);
    ASSERT_TRUE(region);
    ASSERT_EQ(region->batches.size(), 2u);
    EXPECT_EQ(region->batches[0].bounds, (RegionRect{0, 0, 1999, 2}));
    EXPECT_EQ(region->batches[1].rects.size(), 1000u);
    EXPECT_EQ(region->batches[1].bounds, (RegionRect{0, 2, 1999, 3}));
}

TEST(FormRegion, FirstPaintMakesTheRegionOnce) {
    const RgbImage skin = filled(3, 2, kInk);
    int applied = 0;
    FormRegion form(&skin, [&](const WindowRegion& region) {
        ++applied;
        EXPECT_EQ(allRects(region).size(), 2u);
    });
    EXPECT_TRUE(form.FormPaint());
    EXPECT_FALSE(form.FormPaint());
    form.FormResize();
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(form.regionMade());
}

TEST(FormRegion, ResizeFirstMeansThePaintDoesNothing) {
    const RgbImage skin = filled(3, 2, kInk);
    int applied = 0;
    FormRegion form(&skin, [&](const WindowRegion&) { ++applied; });
    form.FormResize();
    EXPECT_FALSE(form.FormPaint());  // so the tray re-add timer is not started by this paint
    EXPECT_EQ(applied, 1);
}

TEST(FormRegion, FailedApplyLeavesTheFlagClearForTheNextPaint) {
    const RgbImage skin = filled(3, 2, kInk);
    bool fail = true;
    FormRegion form(&skin, [&](const WindowRegion&) {
        if (fail) throw std::runtime_error("Assertion failure");
    });
    EXPECT_THROW(form.FormPaint(), std::runtime_error);
    EXPECT_FALSE(form.regionMade());
    fail = false;
    EXPECT_TRUE(form.FormPaint());
}

TEST(FormRegion, MissingSkinLeavesTheWindowRectangularAndCountsAsDone) {
    bool applied = false;
    FormRegion form(nullptr, [&](const WindowRegion&) { applied = true; });
    EXPECT_TRUE(form.FormPaint());
    EXPECT_FALSE(applied);
    form.reset();
    EXPECT_FALSE(form.regionMade());
}
