#pragma once

#include <functional>
#include <string>

#include "platform/registry_store.h"
#include "settings/settings.h"

namespace vantrel {

// Loads and saves Settings under the program's key of the registry store.
class SettingsStore {
  public:
    static constexpr const char* kKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel";

    explicit SettingsStore(RegistryStore& registry);

    // Fills `settings`. When the stored killpop is empty (a first run), `firstRunInit` runs first:
    // it is the apply operation without a sender, which takes the option controls into the
    // settings and saves them. The other values are then read as one consistent state, so a save
    // by another running copy is seen whole or not at all. Missing values take their fallbacks,
    // killimage and killlevel become "0", a vtr_count that is no 32-bit decimal number reads 0.
    // Throws Error when the store cannot be used.
    void LoadSettings(Settings& settings, const std::function<void()>& firstRunInit);
    // Writes the 24 saved fields in one transaction; vtr_first is never written.
    void SaveSettings(const Settings& settings);

    // vtr_home, vtr_server and vtr_server_ip, each with its default when missing or empty.
    // Never written by the program.
    Configuration loadConfiguration();
    // Writes one value alone (vtr_first, is_introduced).
    void writeValue(const std::string& name, const std::string& value);
    std::string readValue(const std::string& name);

    RegistryStore& registry() { return registry_; }

  private:
    RegistryStore& registry_;
};

// The 24 saved fields as name and text, in the order SaveSettings writes them.
RegistryStore::Values savedValues(const Settings& settings);

}  // namespace vantrel
