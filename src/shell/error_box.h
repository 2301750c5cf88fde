#pragma once

#include <string>

#include "platform/desktop.h"

namespace vantrel {

// The standard error box: a failure the user must know of, with the program's title.
inline void showErrorBox(Desktop& desktop, const std::string& text) {
    desktop.messageBox(text, "Vantrel", MessageBoxKind::Error);
}

}  // namespace vantrel
