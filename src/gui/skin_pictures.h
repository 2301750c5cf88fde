#pragma once

#include <QImage>
#include <QPixmap>
#include <string_view>

namespace vantrel::gui {

// A compiled-in picture by its resource name; a null image when there is none.
QImage resourceImage(std::string_view name);
QPixmap resourcePixmap(std::string_view name);

}  // namespace vantrel::gui
