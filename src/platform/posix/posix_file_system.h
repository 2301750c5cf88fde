#pragma once

#include "platform/file_system.h"

namespace vantrel::posix {

class PosixFileSystem : public FileSystem {
  public:
    std::optional<std::string> readFile(const std::string& path) override;
    std::optional<std::string> readFileStart(const std::string& path, size_t size) override;
    bool exists(const std::string& path) override;
    void writeFile(const std::string& path, std::string_view data) override;
    void renameFile(const std::string& from, const std::string& to) override;
    void removeFile(const std::string& path) override;
};

}  // namespace vantrel::posix
