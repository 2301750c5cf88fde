#pragma once

#include <map>
#include <set>

#include "platform/file_system.h"

namespace vantrel::sim {

// Files in memory. A test can make reads, writes or renames of given paths fail.
class SimFileSystem : public FileSystem {
  public:
    std::optional<std::string> readFile(const std::string& path) override;
    std::optional<std::string> readFileStart(const std::string& path, size_t size) override;
    bool exists(const std::string& path) override;
    void writeFile(const std::string& path, std::string_view data) override;
    void renameFile(const std::string& from, const std::string& to) override;
    void removeFile(const std::string& path) override;

    std::map<std::string, std::string> files;
    std::set<std::string> unreadable;
    std::set<std::string> failWrite;   // writeFile to these paths throws
    std::set<std::string> failRename;  // renameFile onto these paths throws
    int writeCount = 0;
};

}  // namespace vantrel::sim
