#include "gui/skin_pictures.h"

#include "resources/embedded_resources.h"

namespace vantrel::gui {

QImage resourceImage(std::string_view name) {
    const auto bytes = embeddedResource(name);
    if (!bytes) return {};
    return QImage::fromData(QByteArrayView(bytes->data(), static_cast<qsizetype>(bytes->size())));
}

QPixmap resourcePixmap(std::string_view name) {
    return QPixmap::fromImage(resourceImage(name));
}

}  // namespace vantrel::gui
