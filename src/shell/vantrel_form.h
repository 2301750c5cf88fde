#pragma once

#include <functional>
#include <string>

#include "engine/browser_events.h"
#include "engine/browser_recovery.h"
#include "engine/browser_status_report.h"
#include "engine/domain_lists.h"
#include "engine/foreground_site.h"
#include "engine/hot_keys.h"
#include "engine/kill_log.h"
#include "engine/kill_sound.h"
#include "engine/page_scanner.h"
#include "engine/popup_killer.h"
#include "engine/tray_alert.h"
#include "engine/url_classifier.h"
#include "net/banner_refresh.h"
#include "net/server_exchange.h"
#include "net/update_check.h"
#include "settings/option_controls.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "shell/application_window.h"
#include "shell/options_page.h"
#include "shell/skinned_window.h"
#include "shell/tray_menu.h"
#include "shell/vantrel_platform.h"

namespace vantrel {

// The main window's model: it owns the settings, the lists, the option controls, the engine's
// parts (which hold the opener lists, the engine's timers and the kill log), the window's life
// (`application`), its skin and pages (`skin`), the tray menu and the Options page. A view shows
// it and forwards the user's input to the handlers of its parts.
class VantrelForm {
  public:
    static constexpr const char* kTitle = "Vantrel";
    static constexpr const char* kButtonText = "Kill popup";
    static constexpr const char* kButtonStatusBar = "Run Script";
    static constexpr const char* kConnectFailed =
        "Vantrel failed to connect with Chromium.\r"
        "Please close Chromium, or check the vtr_browser setting, before launching Vantrel again.";

    explicit VantrelForm(const VantrelPlatform& platform);
    VantrelForm(const VantrelForm&) = delete;
    VantrelForm& operator=(const VantrelForm&) = delete;

    // Start-up in order: settings, controls and lists (initform), the exchange and update
    // timers, the login entry on the very first start, the minimise after start, the browser
    // button (before the browsers: a browser Vantrel starts loads it as it starts), the
    // browsers and the report of which are watched, the placeholder pictures, the About page,
    // the hot keys and the tray entry. A step that fails with Error is shown and the next one
    // runs; everything other parts use exists from construction. False when the browsers cannot
    // be reached: the message has been shown and `application.TimerClose` closes the window at
    // its first tick.
    bool FormCreate();
    // Shutdown: settings saved (only when they were loaded, so that a store that could not be
    // read is not overwritten), tray entry removed, lists saved, hot keys released. A store that
    // cannot be written is reported and the rest still runs.
    void FormDestroy();

    // The one apply-and-save operation (the Options page's OK); `withSender` as for the OK
    // button. Other parts (first-run initialisation, tray toggles, network completions) call it.
    void applyOptions(bool withSender) { options.IBtnOkClick(withSender); }

    // Writes the browser's "Kill popup" button for the running executable (on every start, so a
    // moved program keeps working). Throws Error naming the file that cannot be written.
    void RegisterExplorer();

    // Tray item "Play &Sound": turns the sound option over and applies.
    void MIPlaySoundClick();

    // Shows a failure the user must know of, in the standard error box.
    void showError(const std::string& text);

    const std::string ProgramFolder;
    const std::string HomePageUrl;

    Settings settings;
    OptionControls controls;
    SettingsStore settingsStore;
    DomainLists lists;
    UrlClassifier classifier;
    TrayAlert trayAlert;
    KillSound killSound;
    KillLog killLog;
    PopupKiller popupKiller;
    PageScanner pageScanner;
    BrowserEvents browserEvents;
    BrowserRecovery browserRecovery;
    BrowserStatusReport browserStatus;
    ForegroundSite foregroundSite;
    HotKeys hotKeys;
    ServerExchange serverExchange;
    BannerRefresh bannerRefresh;
    UpdateCheck updateCheck;

    ApplicationWindow application;
    SkinnedWindow skin;
    TrayMenu trayMenu;
    OptionsPage options;

  private:
    NetEnvironment netEnvironment(const VantrelPlatform& platform);
    // Runs one start-up step; an Error is shown and start-up goes on.
    void startUpStep(const std::function<void()>& step);

    const VantrelPlatform platform_;
    bool settingsLoaded_ = false;
};

}  // namespace vantrel
