#include "settings/first_run_init.h"

#include "settings/option_controls.h"

namespace vantrel {

void applyInitialControls(SettingsStore& store, Settings& settings,
                          const AutostartUpdate& updateAutostart) {
    storeControls(OptionControls{}, settings);
    settings.killlevel = std::string("0");  // GCC 12 warns falsely on assigning the literal here
    store.SaveSettings(settings);
    if (updateAutostart) updateAutostart(settings);
}

}  // namespace vantrel
