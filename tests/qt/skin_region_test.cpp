#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QRegion>

#include "platform/qt/qt_region.h"
#include "resources/embedded_resources.h"
#include "shell/skin_layout.h"

using namespace vantrel;

namespace {

QImage resourceImage(const char* name) {
    const auto bytes = embeddedResource(name);
    return bytes ? QImage::fromData(
                       QByteArrayView(bytes->data(), static_cast<qsizetype>(bytes->size())))
                 : QImage();
}

}  // namespace

TEST(SkinRegion, TheCompiledInSkinCutsTheWindowShape) {
    const QImage skin = resourceImage("MAIN_WINDOW");
    ASSERT_EQ(skin.size(), QSize(kMainWindowWidth, kMainWindowHeight));
    const RgbImage pixels = qt::toRgbImage(skin);
    const auto region = regionFromBitmap(&pixels, FormRegion::kOutside);
    ASSERT_TRUE(region);
    const QRegion shape = qt::toQRegion(*region);

    EXPECT_FALSE(shape.contains(QPoint(0, 0)));  // corners are outside
    EXPECT_FALSE(shape.contains(QPoint(565, 358)));
    EXPECT_FALSE(shape.contains(QPoint(300, 10)));   // above the frame, right of the badge
    EXPECT_TRUE(shape.contains(QPoint(90, 22)));     // the badge rises above the frame
    EXPECT_TRUE(shape.contains(QPoint(300, 200)));   // the page area
    for (const ImageItemSpec& item : kImageItems) {  // every item sits inside the shape
        if (item.onPage >= 0) continue;
        const Placement& p = item.placement;
        EXPECT_TRUE(shape.contains(QRect(p.x, p.y, p.width, p.height))) << item.name.data();
    }
    // Each pixel inside the shape is exactly one that is not the key colour.
    for (int y = 0; y < skin.height(); y += 7) {
        for (int x = 0; x < skin.width(); x += 3) {
            EXPECT_EQ(shape.contains(QPoint(x, y)), skin.pixelColor(x, y) != QColor(255, 0, 255))
                << x << "," << y;
        }
    }
}

TEST(SkinRegion, ButtonAndTabPicturesMatchTheirPlacements) {
    for (const ImageItemSpec& item : kImageItems) {
        for (const char* state : {"", "_ON", "_OVER"}) {
            const std::string name = std::string(item.bitmapBase) + state;
            const QImage picture = resourceImage(name.c_str());
            EXPECT_EQ(picture.size(), QSize(item.placement.width, item.placement.height)) << name;
        }
    }
    EXPECT_EQ(resourceImage("PAGE_BG").size(), QSize(kPageArea.width, kPageArea.height));
}

TEST(SkinRegion, AnEmptyShapeIsAnEmptyRegion) {
    QImage allOutside(20, 10, QImage::Format_RGB32);
    allOutside.fill(QColor(255, 0, 255));
    const RgbImage pixels = qt::toRgbImage(allOutside);
    EXPECT_TRUE(qt::toQRegion(*regionFromBitmap(&pixels, FormRegion::kOutside)).isEmpty());
    EXPECT_FALSE(qt::toRgbImage(QImage()).valid());
}
