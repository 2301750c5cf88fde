#pragma once

#include <optional>
#include <string>

namespace vantrel {

// Empty when the program has a display to open its windows on; else the one line that tells the
// user what is missing. A platform chosen through QT_QPA_PLATFORM is left to Qt.
std::optional<std::string> missingDisplay();

}  // namespace vantrel
