#include "engine/placeholder_files.h"

#include <utility>
#include <vector>

#include "engine/banner_slots.h"
#include "resources/embedded_resources.h"

namespace vantrel {

void writePlaceholderFiles(FileSystem& files, const std::string& programFolder) {
    std::vector<std::pair<std::string, std::string>> order = {
        {"removed_banner.gif", "IMG_BANNER"},
        {"removed.gif", "IMG_REMOVED"},
        {"removed_simple.gif", "IMG_SIMPLE"},
    };
    for (const auto& slot : kBannerSlots) order.emplace_back(slot.file, slot.picture);

    for (const auto& [file, picture] : order) {
        const std::string path = programFolder + file;
        if (files.exists(path)) continue;  // a downloaded banner, or the user's own picture
        const auto bytes = embeddedResource(picture);
        if (!bytes) continue;
        // A half-written picture would never be replaced, since only missing files are written.
        replaceFileContents(files, path, *bytes);
    }
}

}  // namespace vantrel
