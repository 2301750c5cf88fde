#include "shell/vantrel_form.h"

#include "common/error.h"
#include "engine/placeholder_files.h"

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
      foregroundSite(platform.desktop, platform.browsers, lists, killLog),
      hotKeys(settings, platform.desktop, foregroundSite, platform.loop),
      serverExchange(netEnvironment(platform), lists),
      bannerRefresh(netEnvironment(platform)),
      updateCheck(netEnvironment(platform), platform.process, platform.configuration.vtr_version,
                  [this] {
                      if (requestClose) requestClose();
                  }),
      platform_(platform),
      applyOptions_([this](bool withSender) { applyEngineOptions(withSender); }) {}

bool VantrelForm::FormCreate() {
    try {
        settingsStore.LoadSettings(settings, [this] { applyOptions(false); });
        fillControls(settings, controls);
        lists.LoadLists();
    } catch (const Error& e) {
        showError(e.what());
    }
    try {
        browserEvents.ConnectBrowsers();
    } catch (const BrowserError&) {
        platform_.desktop.messageBox(kConnectFailed, kTitle, MessageBoxKind::Error);
        return false;
    }
    // A picture that cannot be written is reported, and start-up goes on: the hot keys and the
    // tray entry matter more than a placeholder.
    try {
        writePlaceholderFiles(platform_.files, ProgramFolder);
    } catch (const Error& e) {
        showError(e.what());
    }
    hotKeys.setUp();
    platform_.desktop.trayAdd(TrayIcon::Tray, TrayAlert::kTip);
    return true;
}

void VantrelForm::FormDestroy() {
    try {
        settingsStore.SaveSettings(settings);
    } catch (const Error& e) {
        showError(e.what());
    }
    platform_.desktop.trayDelete();
    try {
        lists.SaveLists();
    } catch (const Error& e) {
        showError(e.what());
    }
    hotKeys.unregisterAll();
}

void VantrelForm::applyEngineOptions(bool withSender) {
    storeControls(controls, settings);
    settings.killimage = "0";
    settings.killlevel = "0";
    hotKeys.reregister();
    settingsStore.SaveSettings(settings);
    if (withSender) lists.SaveLists();
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
    platform_.desktop.messageBox(text, kTitle, MessageBoxKind::Error);
}

}  // namespace vantrel
