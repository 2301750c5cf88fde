#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// Files by path. Paths are byte strings; a folder path ends with "/".
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // The whole file, or nothing when it is missing or cannot be read.
    virtual std::optional<std::string> readFile(const std::string& path) = 0;
    // At most the first `size` bytes of the file (fewer when it is shorter), or nothing when it
    // is missing or cannot be read; the rest is never read.
    virtual std::optional<std::string> readFileStart(const std::string& path, size_t size) = 0;
    virtual bool exists(const std::string& path) = 0;
    // Creates or truncates the file and writes `data` to stable storage. Throws Error naming the
    // file.
    virtual void writeFile(const std::string& path, std::string_view data) = 0;
    // Moves `from` over `to` in one step (the old `to` stays whole if this fails). Throws Error.
    virtual void renameFile(const std::string& from, const std::string& to) = 0;
    // Best effort; a missing file is no failure.
    virtual void removeFile(const std::string& path) = 0;
};

// Replaces the file's content so that a crash or a full disk leaves either the old or the new
// content: the data goes to a temporary file in the same folder, which is then renamed over it.
// Throws Error naming `path` when it cannot be written; the old file is left as it was.
void replaceFileContents(FileSystem& files, const std::string& path, std::string_view data);

}  // namespace vantrel
