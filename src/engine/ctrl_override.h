#pragma once

#include "platform/desktop.h"
#include "settings/settings.h"

namespace vantrel {

// The rule every engine entry begins with: nothing happens while the engine is disabled, or
// while CTRL idle mode is on and CTRL is held down at this moment.
inline bool ctrlOverride(const Settings& settings, Desktop& desktop) {
    if (settings.killidle == "1") return true;
    return settings.enhotcut == "1" && desktop.controlKeyDown();
}

}  // namespace vantrel
