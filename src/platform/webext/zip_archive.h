#pragma once

#include <string>
#include <vector>

namespace vantrel::webext {

// A file of a ZIP archive: its name inside the archive ("icons/16.png") and its bytes.
struct ArchiveEntry {
    std::string name;
    std::string data;
};

// A ZIP archive of `entries`, in their order, stored without compression and dated 1980-01-01,
// so the same files give the same bytes. Firefox installs an extension from such a file (.xpi).
std::string zipArchive(const std::vector<ArchiveEntry>& entries);

}  // namespace vantrel::webext
