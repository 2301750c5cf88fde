#include "shell/vantrel_form.h"

#include "common/error.h"
#include "engine/placeholder_files.h"
#include "shell/error_box.h"

namespace vantrel {

VantrelForm::VantrelForm(const VantrelPlatform& platform)
    : ProgramFolder(platform.programFolder),
      HomePageUrl(platform.configuration.vtr_home),
      settingsStore(platform.registry),
      lists(platform.files, platform.programFolder),
      classifier(lists.CleanList, lists.BlackList, platform.configuration.vtr_server_ip),
      trayAlert(settings, platform.desktop, platform.loop),
      killSound(settings, platform.desktop, platform.files),
      killLog(settings, platform.loop, platform.desktop, lists, trayAlert, killSound),
      popupKiller(settings, platform.desktop, platform.browsers, classifier, killLog,
                  platform.loop),
      pageScanner(settings, platform.desktop, classifier, platform.programFolder,
                  platform.configuration.vtr_home),
      browserEvents(settings, platform.desktop, platform.browsers, classifier, killLog, popupKiller,
                    pageScanner),
      browserRecovery(platform.browsers, browserEvents, trayAlert, platform.loop),
      browserStatus(platform.browserStatus, trayAlert, killLog, browserRecovery),
      foregroundSite(platform.desktop, platform.browsers, lists, killLog),
      hotKeys(settings, platform.desktop, foregroundSite, platform.loop),
      serverExchange(netEnvironment(platform), lists),
      bannerRefresh(netEnvironment(platform)),
      updateCheck(netEnvironment(platform), platform.process, platform.configuration.vtr_version,
                  platform.installsUpdates),
      application(platform.loop, platform.desktop, trayAlert),
      skin(platform.loop, platform.desktop, settings, trayAlert.TimerChageIcon),
      trayMenu(*this, platform.desktop),
      options(*this, platform.autostart),
      platform_(platform) {}

void VantrelForm::startUpStep(const std::function<void()>& step) {
    try {
        step();
    } catch (const Error& e) {
        showError(e.what());
    }
}

bool VantrelForm::FormCreate() {
    startUpStep([this] {
        options.initform();
        settingsLoaded_ = true;
    });
    serverExchange.TimerServer.setEnabled(true);
    if (settings.vtr_auto_update == "1") {
        trayMenu.items[kMIAutoCheckUpdates].checked = true;
        updateCheck.TimerUpdate.setEnabled(true);
    }
    if (settingsLoaded_ && settings.vtr_first.empty()) {
        startUpStep([this] {
            options.addAutostartEntry();
            settingsStore.writeValue("vtr_first", "1");
            settings.vtr_first = "1";
        });
    }
    if (settings.automin == "1") application.TimerMin.setEnabled(true);
    startUpStep([this] { RegisterExplorer(); });
    try {
        browserEvents.ConnectBrowsers();
        browserRecovery.start();
        browserStatus.start();
    } catch (const BrowserError&) {
        platform_.desktop.messageBox(kConnectFailed, kTitle, MessageBoxKind::Error);
        application.TimerClose.setEnabled(true);
        return false;
    }
    startUpStep([this] { writePlaceholderFiles(platform_.files, ProgramFolder); });
    skin.start();
    hotKeys.setUp();
    platform_.desktop.trayAdd(TrayIcon::Tray, trayAlert.tip());
    return true;
}

void VantrelForm::FormDestroy() {
    if (settingsLoaded_) startUpStep([this] { settingsStore.SaveSettings(settings); });
    platform_.desktop.trayDelete();
    startUpStep([this] { lists.SaveLists(); });
    hotKeys.unregisterAll();
}

void VantrelForm::RegisterExplorer() {
    if (platform_.browserButton == nullptr) return;
    platform_.browserButton->registerButton({kButtonText, kButtonText, kButtonStatusBar, true});
}

void VantrelForm::MIPlaySoundClick() {
    controls.CheckBox10 = settings.is_sound != "1";
    try {
        applyOptions(false);
    } catch (const Error& e) {
        showError(e.what());
    }
}

NetEnvironment VantrelForm::netEnvironment(const VantrelPlatform& platform) {
    return {platform.loop,
            platform.http,
            platform.files,
            platform.desktop,
            settings,
            platform.configuration.vtr_server,
            platform.programFolder,
            [this](bool withSender) { applyOptions(withSender); }};
}

void VantrelForm::showError(const std::string& text) {
    showErrorBox(platform_.desktop, text);
}

}  // namespace vantrel
