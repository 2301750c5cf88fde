#include "common/error.h"
#include "platform/file_system.h"

namespace vantrel {

void replaceFileContents(FileSystem& files, const std::string& path, std::string_view data) {
    const std::string temporary = path + ".new";
    try {
        files.writeFile(temporary, data);
        files.renameFile(temporary, path);
    } catch (const Error& e) {
        files.removeFile(temporary);
        throw Error("Cannot write file \"" + path + "\": " + e.what());
    }
}

}  // namespace vantrel
