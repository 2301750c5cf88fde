#include "settings/settings_store.h"

#include <array>
#include <map>

#include "common/text.h"

namespace vantrel {
namespace {

struct TextField {
    const char* name;
    std::string Settings::*member;
    const char* fallback;  // put in place of an empty value on every load; nullptr: stays empty
};

// The saved text fields in the order SaveSettings writes them; vtr_count follows them.
constexpr std::array<TextField, 23> kTextFields{{
    {"killpop", &Settings::killpop, "1"},
    {"killurl", &Settings::killurl, "1"},
    {"killbanner", &Settings::killbanner, "1"},
    {"killimage", &Settings::killimage, nullptr},
    {"autostart", &Settings::autostart, nullptr},
    {"enhotcut", &Settings::enhotcut, nullptr},
    {"automin", &Settings::automin, nullptr},
    {"killidle", &Settings::killidle, nullptr},
    {"killlevel", &Settings::killlevel, nullptr},
    {"is_blinked", &Settings::is_blinked, "1"},
    {"is_sound", &Settings::is_sound, "1"},
    {"vtr_sound", &Settings::vtr_sound, nullptr},
    {"vtr_key", &Settings::vtr_key, "65"},
    {"vtr_bkey", &Settings::vtr_bkey, "66"},
    {"vtr_slevel", &Settings::vtr_slevel, nullptr},
    {"vtr_snlevel", &Settings::vtr_snlevel, "2"},
    {"vtr_banner", &Settings::vtr_banner, nullptr},
    {"vtr_update", &Settings::vtr_update, nullptr},
    {"vtr_auto_update", &Settings::vtr_auto_update, "1"},
    {"vtr_checked_version", &Settings::vtr_checked_version, nullptr},
    {"vtr_bldate", &Settings::vtr_bldate, nullptr},
    {"vtr_cldate", &Settings::vtr_cldate, nullptr},
    {"vtr_getdate", &Settings::vtr_getdate, nullptr},
}};

struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return compareNoCase(a, b) < 0;
    }
};

// Value names compare without regard to letter case, as the store's names do.
using Snapshot = std::map<std::string, std::string, NoCaseLess>;

std::string valueIn(const Snapshot& snapshot, const std::string& name) {
    auto it = snapshot.find(name);
    return it == snapshot.end() ? std::string() : it->second;
}

std::string withTrailingSlash(std::string address) {
    if (address.back() != '/') address += '/';
    return address;
}

std::string withoutTrailingSlash(std::string address) {
    while (address.size() > 1 && address.back() == '/') address.pop_back();
    return address;
}

}  // namespace

RegistryStore::Values savedValues(const Settings& settings) {
    RegistryStore::Values values;
    values.reserve(kTextFields.size() + 1);
    for (const auto& field : kTextFields) values.emplace_back(field.name, settings.*field.member);
    values.emplace_back("vtr_count", std::to_string(settings.vtr_count));
    return values;
}

SettingsStore::SettingsStore(RegistryStore& registry) : registry_(registry) {}

void SettingsStore::LoadSettings(Settings& settings, const std::function<void()>& firstRunInit) {
    registry_.openKey(kKey);
    settings.killpop = registry_.readValue(kKey, "killpop");
    // Any stored text, even one that is neither flag, means the first run is done.
    if (settings.killpop.empty() && firstRunInit) firstRunInit();

    const auto listed = registry_.listValues(kKey);
    const Snapshot snapshot(listed.begin(), listed.end());
    for (const auto& field : kTextFields) {
        if (field.member == &Settings::killpop) continue;  // read above, before the first run
        settings.*field.member = valueIn(snapshot, field.name);
    }
    settings.vtr_first = valueIn(snapshot, "vtr_first");
    settings.vtr_count = decimalOr(valueIn(snapshot, "vtr_count"), 0);

    for (const auto& field : kTextFields) {
        std::string& text = settings.*field.member;
        if (text.empty() && field.fallback) text = field.fallback;
    }
    settings.killimage = "0";
    settings.killlevel = "0";
}

void SettingsStore::SaveSettings(const Settings& settings) {
    // writeValues creates the key, within the same transaction.
    registry_.writeValues(kKey, savedValues(settings));
}

Configuration SettingsStore::loadConfiguration() {
    Configuration configuration;
    if (auto home = readValue("vtr_home"); !home.empty()) {
        configuration.vtr_home = withTrailingSlash(std::move(home));
    }
    if (auto server = readValue("vtr_server"); !server.empty()) {
        configuration.vtr_server = withoutTrailingSlash(std::move(server));
    }
    configuration.vtr_server_ip = readValue("vtr_server_ip");
    if (auto version = readValue("vtr_version"); !version.empty()) {
        configuration.vtr_version = std::move(version);
    }
    configuration.vtr_browser = readValue("vtr_browser");
    if (auto command = readValue("vtr_browser_cmd"); !command.empty()) {
        configuration.vtr_browser_cmd = std::move(command);
    }
    return configuration;
}

void SettingsStore::writeValue(const std::string& name, const std::string& value) {
    registry_.writeValue(kKey, name, value);
}

std::string SettingsStore::readValue(const std::string& name) {
    return registry_.readValue(kKey, name);
}

}  // namespace vantrel
