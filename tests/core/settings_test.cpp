#include <gtest/gtest.h>

#include "common/error.h"
#include "platform/sim/sim_registry.h"
#include "settings/first_run_init.h"
#include "settings/option_controls.h"
#include "settings/settings_store.h"

using vantrel::OptionControls;
using vantrel::RegistryStore;
using vantrel::Settings;
using vantrel::SettingsStore;
using vantrel::sim::SimRegistry;

namespace {

constexpr const char* kKey = SettingsStore::kKey;

const RegistryStore::Values kFirstRunValues = {
    {"killpop", "1"},   {"killurl", "1"},    {"killbanner", "1"},      {"killimage", ""},
    {"autostart", "1"}, {"enhotcut", "1"},   {"automin", "0"},         {"killidle", "0"},
    {"killlevel", "0"}, {"is_blinked", "1"}, {"is_sound", "1"},        {"vtr_sound", ""},
    {"vtr_key", "69"},  {"vtr_bkey", "66"},  {"vtr_slevel", ""},       {"vtr_snlevel", "1"},
    {"vtr_banner", ""}, {"vtr_update", ""},  {"vtr_auto_update", "1"}, {"vtr_checked_version", ""},
    {"vtr_bldate", ""}, {"vtr_cldate", ""},  {"vtr_getdate", ""},      {"vtr_count", "0"},
};

class SettingsStoreTest : public testing::Test {
  protected:
    // LoadSettings with the initialiser a program without the options page uses.
    Settings load() {
        Settings settings;
        store.LoadSettings(settings, [&] { vantrel::applyInitialControls(store, settings); });
        return settings;
    }
    // A registry as a first run leaves it.
    void initialise() {
        load();
        registry.transactions.clear();
    }

    SimRegistry registry;
    SettingsStore store{registry};
};

TEST_F(SettingsStoreTest, FirstRunSavesTheInitialControlsInOneTransaction) {
    Settings autostartSeen;
    Settings settings;
    store.LoadSettings(settings, [&] {
        vantrel::applyInitialControls(store, settings,
                                      [&](const Settings& s) { autostartSeen = s; });
    });

    ASSERT_EQ(registry.transactions.size(), 1u);
    EXPECT_EQ(registry.transactions[0].first, kKey);
    EXPECT_EQ(registry.transactions[0].second, kFirstRunValues);
    EXPECT_EQ(autostartSeen.autostart, "1");  // the autostart step runs after the save

    EXPECT_EQ(vantrel::savedValues(settings), [] {
        auto loaded = kFirstRunValues;
        loaded[3].second = "0";  // killimage is forced by the load
        return loaded;
    }());
    EXPECT_EQ(settings.vtr_first, "");
    EXPECT_FALSE(registry.hasValue(kKey, "vtr_first"));
}

TEST_F(SettingsStoreTest, StoredKillpopOfAnyTextSkipsTheFirstRun) {
    registry.writeValue(kKey, "killpop", "yes");
    registry.transactions.clear();
    Settings settings;
    bool initialised = false;
    store.LoadSettings(settings, [&] { initialised = true; });
    EXPECT_FALSE(initialised);
    EXPECT_TRUE(registry.transactions.empty());
    EXPECT_EQ(settings.killpop, "yes");
    EXPECT_EQ(settings.killurl, "1");  // fallbacks still apply
}

TEST_F(SettingsStoreTest, MissingOrEmptyValuesTakeTheirFallbacks) {
    initialise();
    registry.deleteValue(kKey, "vtr_key");
    EXPECT_EQ(load().vtr_key, "65");

    initialise();
    registry.deleteValue(kKey, "vtr_snlevel");
    EXPECT_EQ(load().vtr_snlevel, "2");

    registry.writeValues(kKey, {{"killurl", ""}, {"vtr_bkey", ""}, {"autostart", ""}});
    const Settings settings = load();
    EXPECT_EQ(settings.killurl, "1");
    EXPECT_EQ(settings.vtr_bkey, "66");
    EXPECT_EQ(settings.autostart, "");  // no fallback: stays empty
}

TEST_F(SettingsStoreTest, KillimageAndKilllevelLoadAndSaveAsZero) {
    initialise();
    registry.writeValues(kKey, {{"killimage", "1"}, {"killlevel", "1"}});
    const Settings settings = load();
    EXPECT_EQ(settings.killimage, "0");
    EXPECT_EQ(settings.killlevel, "0");
    store.SaveSettings(settings);
    EXPECT_EQ(registry.readValue(kKey, "killimage"), "0");
    EXPECT_EQ(registry.readValue(kKey, "killlevel"), "0");
}

TEST_F(SettingsStoreTest, ValueNamesMatchWithoutRegardToCase) {
    initialise();
    registry.deleteValue(kKey, "killurl");
    registry.writeValues(kKey, {{"KILLURL", "0"}, {"Vtr_Count", "7"}});
    const Settings settings = load();
    EXPECT_EQ(settings.killurl, "0");
    EXPECT_EQ(settings.vtr_count, 7);
}

TEST_F(SettingsStoreTest, CountThatIsNoThirtyTwoBitDecimalReadsZero) {
    initialise();
    const std::pair<const char*, std::int32_t> cases[] = {
        {"", 0},
        {"12", 12},
        {"-3", -3},
        {"2147483647", 2147483647},
        {"abc", 0},
        {"12x", 0},
        {" 12", 0},
        {"2147483648", 0},
        {"-2147483649", 0},
        {"99999999999999999999", 0},
        {"1.5", 0},
    };
    for (const auto& [text, expected] : cases) {
        registry.writeValue(kKey, "vtr_count", text);
        EXPECT_EQ(load().vtr_count, expected) << '"' << text << '"';
    }
}

TEST_F(SettingsStoreTest, SaveNeverTouchesVtrFirst) {
    initialise();
    registry.writeValue(kKey, "vtr_first", "1");
    Settings settings = load();
    EXPECT_EQ(settings.vtr_first, "1");
    settings.vtr_first = "0";
    settings.vtr_count = 41;
    store.SaveSettings(settings);
    EXPECT_EQ(registry.readValue(kKey, "vtr_first"), "1");
    EXPECT_EQ(registry.readValue(kKey, "vtr_count"), "41");
    for (const auto& [name, value] : registry.transactions.back().second)
        EXPECT_NE(name, "vtr_first");
}

TEST_F(SettingsStoreTest, FailedSaveChangesNothingAndIsReported) {
    initialise();
    Settings settings = load();
    settings.killpop = "0";
    registry.failWrites = true;
    EXPECT_THROW(store.SaveSettings(settings), vantrel::Error);
    registry.failWrites = false;
    EXPECT_EQ(registry.readValue(kKey, "killpop"), "1");
    EXPECT_TRUE(registry.transactions.empty());
}

TEST_F(SettingsStoreTest, UnreadableStoreIsReportedAndFirstRunDoesNotSave) {
    registry.failReads = true;
    Settings settings;
    bool initialised = false;
    EXPECT_THROW(store.LoadSettings(settings, [&] { initialised = true; }), vantrel::Error);
    EXPECT_FALSE(initialised);
}

TEST_F(SettingsStoreTest, ConfigurationHasDefaultsAndIsOnlyRead) {
    const vantrel::Configuration defaults = store.loadConfiguration();
    EXPECT_EQ(defaults.vtr_home, vantrel::Configuration{}.vtr_home);
    EXPECT_EQ(defaults.vtr_server, vantrel::Configuration{}.vtr_server);
    EXPECT_EQ(defaults.vtr_server_ip, "");
    EXPECT_EQ(defaults.vtr_browser, "");
    EXPECT_EQ(defaults.vtr_browser_cmd, "chromium");

    registry.writeValues(kKey, {{"vtr_home", "http://127.0.0.1:8080/site"},
                                {"vtr_server", "http://127.0.0.1:8081/"},
                                {"vtr_server_ip", "127.0.0.1"},
                                {"vtr_browser", "127.0.0.1:9222"},
                                {"vtr_browser_cmd", "/usr/bin/chromium --incognito"}});
    registry.transactions.clear();
    const vantrel::Configuration configured = store.loadConfiguration();
    EXPECT_EQ(configured.vtr_home, "http://127.0.0.1:8080/site/");
    EXPECT_EQ(configured.vtr_server, "http://127.0.0.1:8081");
    EXPECT_EQ(configured.vtr_server_ip, "127.0.0.1");
    EXPECT_EQ(configured.vtr_browser, "127.0.0.1:9222");
    EXPECT_EQ(configured.vtr_browser_cmd, "/usr/bin/chromium --incognito");
    EXPECT_TRUE(registry.transactions.empty());

    // An empty command is no command: the default starts the browser.
    registry.writeValues(kKey, {{"vtr_home", ""}, {"vtr_browser_cmd", ""}});
    EXPECT_EQ(store.loadConfiguration().vtr_home, vantrel::Configuration{}.vtr_home);
    EXPECT_EQ(store.loadConfiguration().vtr_browser_cmd, "chromium");
}

TEST(HotKeyCode, IsTheDecimalNumberOr65) {
    EXPECT_EQ(vantrel::HotKeyCode("66"), 66);
    EXPECT_EQ(vantrel::HotKeyCode(""), 65);
    EXPECT_EQ(vantrel::HotKeyCode("B"), 65);
    EXPECT_EQ(vantrel::HotKeyCode("66 "), 65);
    EXPECT_EQ(vantrel::HotKeyCode("6.6"), 65);
    EXPECT_EQ(vantrel::HotKeyCode("4294967362"), 65);  // would wrap to 66 in 32 bits
}

TEST(OptionControls, FillThenStoreKeepsEveryFlagAndKey) {
    Settings settings;
    storeControls(OptionControls{}, settings);
    settings.killidle = "1";
    settings.killurl = "0";
    settings.vtr_key = "90";
    settings.vtr_snlevel = "3";
    OptionControls controls;
    fillControls(settings, controls);
    EXPECT_TRUE(controls.CheckBox9);
    EXPECT_FALSE(controls.CheckBox2);
    EXPECT_EQ(controls.EditHK, "Z");
    EXPECT_EQ(controls.EditBHK, "B");
    EXPECT_EQ(controls.TBSLevel, 3);

    Settings stored;
    storeControls(controls, stored);
    EXPECT_EQ(vantrel::savedValues(stored), vantrel::savedValues(settings));
}

TEST(OptionControls, OddStoredTextsAndControlStates) {
    Settings settings;
    settings.killpop = "yes";  // neither flag: unchecked, stored back as "0"
    settings.vtr_key = "300";  // no character: the box stays empty and the code is kept
    settings.vtr_bkey = "98";  // a lower-case letter shows upper case
    settings.vtr_snlevel = "many";
    OptionControls controls;
    fillControls(settings, controls);
    EXPECT_FALSE(controls.CheckBox1);
    EXPECT_EQ(controls.EditHK, "");
    EXPECT_EQ(controls.EditBHK, "B");
    EXPECT_EQ(controls.TBSLevel, 2);

    controls.TBSLevel = 7;
    storeControls(controls, settings);
    EXPECT_EQ(settings.killpop, "0");
    EXPECT_EQ(settings.vtr_key, "300");
    EXPECT_EQ(settings.vtr_bkey, "66");
    EXPECT_EQ(settings.vtr_snlevel, "3");

    controls.EditHK = "e";
    storeControls(controls, settings);
    EXPECT_EQ(settings.vtr_key, "69");
}

}  // namespace
