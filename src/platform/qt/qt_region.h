#pragma once

#include <QImage>
#include <QRegion>

#include "shell/rgb_image.h"
#include "shell/window_region.h"

namespace vantrel::qt {

// The picture's pixels as the shape algorithm reads them; a null image gives an invalid one.
RgbImage toRgbImage(const QImage& image);

// The union of the batches, one QRegion::setRects call per batch.
QRegion toQRegion(const WindowRegion& region);

}  // namespace vantrel::qt
