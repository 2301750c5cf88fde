#pragma once

#include <functional>

#include "settings/settings.h"
#include "settings/settings_store.h"

namespace vantrel {

// Creates or removes the run-at-start-up entry according to the saved `autostart`.
using AutostartUpdate = std::function<void(const Settings&)>;

// The first-run initialisation for a program without the options page: what the apply operation
// without a sender does to the settings, with every control in its initial state. The controls go
// into `settings`, killlevel becomes "0", the settings are saved, then `updateAutostart` runs
// (when given). The desktop program passes its own apply operation to LoadSettings instead.
void applyInitialControls(SettingsStore& store, Settings& settings,
                          const AutostartUpdate& updateAutostart = {});

}  // namespace vantrel
