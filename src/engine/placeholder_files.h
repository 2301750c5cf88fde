#pragma once

#include <string>

#include "platform/file_system.h"

namespace vantrel {

// Writes the placeholder pictures into the program's folder, each only when no file of its name
// is there: "removed_banner.gif", "removed.gif", "removed_simple.gif", then the eight slot files.
// Each file is written whole or not at all. Throws Error naming a file that cannot be written.
void writePlaceholderFiles(FileSystem& files, const std::string& programFolder);

}  // namespace vantrel
