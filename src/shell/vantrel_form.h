#pragma once

#include <functional>
#include <string>

#include "engine/browser_events.h"
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
#include "shell/vantrel_platform.h"

namespace vantrel {

// The main window's model: it owns the settings, the lists, the option controls and the
// engine's parts, which hold the opener lists, the timers and the kill log. A view shows it and
// forwards the user's input to the handlers of its parts.
class VantrelForm {
  public:
    static constexpr const char* kTitle = "Vantrel";
    static constexpr const char* kConnectFailed =
        "Vantrel failed to connect with Internet Explorer.\r"
        "Please restart the system before launching Vantrel again.";

    // The apply-and-save operation of the options page; `withSender` as for the OK button.
    using ApplyOptions = std::function<void(bool withSender)>;

    explicit VantrelForm(const VantrelPlatform& platform);
    VantrelForm(const VantrelForm&) = delete;
    VantrelForm& operator=(const VantrelForm&) = delete;

    // The engine's share of start-up, in order: settings and lists loaded, browsers connected,
    // placeholder pictures written, hot keys registered, tray entry added. False when the
    // browsers cannot be reached: the message has been shown and the caller closes the window.
    bool FormCreate();
    // The engine's share of shutdown: settings saved, tray entry removed, lists saved, hot keys
    // released. A store that cannot be written is reported and the rest still runs.
    void FormDestroy();

    // The options page installs its apply operation (IBtnOkClick) here; until then
    // applyEngineOptions stands in. The first-run initialisation and the tray's sound item run it.
    void setApplyOptions(ApplyOptions apply) { applyOptions_ = std::move(apply); }
    void applyOptions(bool withSender) { applyOptions_(withSender); }
    // What applying the options means to the engine: the controls into the settings, the hot
    // keys registered anew, the settings saved, and with a sender both lists saved.
    void applyEngineOptions(bool withSender);

    // Tray item "Play &Sound": turns the sound option over and applies.
    void MIPlaySoundClick();

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
    ForegroundSite foregroundSite;
    HotKeys hotKeys;
    ServerExchange serverExchange;
    BannerRefresh bannerRefresh;
    UpdateCheck updateCheck;

    // Ends the program; an installed update waits for that. The start-up sets it.
    std::function<void()> requestClose;

  private:
    NetEnvironment netEnvironment(const VantrelPlatform& platform);

    // Shows a failure the user must know of, in the standard error box.
    void showError(const std::string& text);

    const VantrelPlatform platform_;
    ApplyOptions applyOptions_;
};

}  // namespace vantrel
