#include "platform/sim/sim_file_system.h"

#include <algorithm>

#include "common/error.h"

namespace vantrel::sim {

std::optional<std::string> SimFileSystem::readFile(const std::string& path) {
    auto it = files.find(path);
    if (it == files.end() || unreadable.count(path)) return std::nullopt;
    return it->second;
}

std::optional<std::string> SimFileSystem::readFileStart(const std::string& path, size_t size) {
    auto whole = readFile(path);
    if (whole) whole->resize(std::min(size, whole->size()));
    return whole;
}

bool SimFileSystem::exists(const std::string& path) {
    return files.count(path) != 0;
}

void SimFileSystem::writeFile(const std::string& path, std::string_view data) {
    if (failWrite.count(path)) throw Error("cannot write \"" + path + "\"");
    ++writeCount;
    files[path] = std::string(data);
}

void SimFileSystem::renameFile(const std::string& from, const std::string& to) {
    auto it = files.find(from);
    if (it == files.end() || failRename.count(to)) {
        throw Error("cannot rename \"" + from + "\" to \"" + to + "\"");
    }
    files[to] = std::move(it->second);
    files.erase(from);
}

void SimFileSystem::removeFile(const std::string& path) {
    files.erase(path);
}

}  // namespace vantrel::sim
