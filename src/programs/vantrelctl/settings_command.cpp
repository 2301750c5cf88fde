#include <iostream>

#include "platform/sqlite/sqlite_registry.h"
#include "programs/vantrelctl/command.h"
#include "settings/first_run_init.h"
#include "settings/settings_store.h"

namespace vantrelctl {
namespace {

int runSettings(Args args) {
    std::string path = takeOption(args, "--registry");
    rejectUnknownOptions(args);
    if (!args.empty()) throw UsageError("unexpected argument " + args.front());
    if (path.empty()) path = vantrel::sqlite::defaultRegistryPath();

    vantrel::sqlite::SqliteRegistry registry(path);
    vantrel::SettingsStore store(registry);
    vantrel::Settings settings;
    // No autostart entry from here: that belongs to the desktop program.
    store.LoadSettings(settings, [&] { vantrel::applyInitialControls(store, settings); });
    for (const auto& [name, value] : vantrel::savedValues(settings)) {
        std::cout << name << '=' << value << '\n';
    }
    std::cout << "vtr_first=" << settings.vtr_first << '\n';
    return 0;
}

const Registration registration("settings",
                                {"settings [--registry DB]",
                                 "load the settings (first run included) and print them as "
                                 "name=value lines",
                                 runSettings});

}  // namespace
}  // namespace vantrelctl
