#include "platform/qt/qt_region.h"

#include <QRect>
#include <vector>

namespace vantrel::qt {

RgbImage toRgbImage(const QImage& image) {
    RgbImage result;
    if (image.isNull()) return result;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    result.width = rgb.width();
    result.height = rgb.height();
    const std::size_t rowBytes = static_cast<std::size_t>(rgb.width()) * 3;
    result.pixels.resize(rowBytes * static_cast<std::size_t>(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* row = rgb.constScanLine(y);  // scan lines are padded: copy row by row
        std::copy(row, row + rowBytes,
                  result.pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes * y));
    }
    return result;
}

QRegion toQRegion(const WindowRegion& region) {
    QRegion result;
    std::vector<QRect> rects;
    for (const RegionBatch& batch : region.batches) {
        if (batch.rects.empty()) continue;
        rects.clear();
        for (const RegionRect& r : batch.rects) {
            rects.emplace_back(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
        }
        QRegion part;
        part.setRects(rects.data(), static_cast<int>(rects.size()));
        result = result.united(part);
    }
    return result;
}

}  // namespace vantrel::qt
