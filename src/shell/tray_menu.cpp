#include "shell/tray_menu.h"

#include "net/query_encoding.h"
#include "platform/tray_messages.h"
#include "shell/vantrel_form.h"

namespace vantrel {

namespace {

// Captions of the kill items by toggle number; number 4 belongs to the hidden image item.
constexpr std::array<const char*, 6> kToggleCaptions{
    "",
    "Kill pop-ups and pop-unders",
    "Kill advertising sites (URLs)",
    "Kill standard banners",
    "Kill images larger than 300x300 pixels",
    "Disable",
};

std::array<MenuItem, kTrayMenuItemCount> menuDefinition() {
    std::array<MenuItem, kTrayMenuItemCount> items{{
        {"MIKillPopup", ""},
        {"MIKillUrl", ""},
        {"MIKillBanner", ""},
        {"MIKillImage", ""},
        {"MIDisable", ""},
        {"N1", "-"},
        {"MIPlaySound", "Play &Sound"},
        {"MIAutoCheckUpdates", "Automatic check &for updates"},
        {"N2", "-"},
        {"OptionsMI", "&Options"},
        {"ExceptionMI", "&Allowed List"},
        {"BlackListMI", "&Blacklist"},
        {"LogsMI", "&View logs"},
        {"N3", "-"},
        {"HelpMI", "&Help"},
        {"VisitMI", "V&isit our web site"},
        {"UpdateMI", "Check for &updates"},
        {"AboutMI", "About &Vantrel"},
        {"N4", "-"},
        {"CloseMI", "&Close Vantrel"},
    }};
    items[kMIKillImage].visible = false;
    return items;
}

}  // namespace

TrayMenu::TrayMenu(VantrelForm& form, Desktop& desktop)
    : items(menuDefinition()), form_(form), desktop_(desktop) {}

void TrayMenu::TrayMessage(int mouseMessage) {
    ApplicationWindow& application = form_.application;
    switch (mouseMessage) {
        case kTrayLeftDoubleClick:
            application.restoreapplication();
            form_.skin.switchPage(kPageOptions);
            break;
        case kTrayLeftButtonDown:
            if (application.active()) {
                application.minimize();
            } else {
                application.restoreapplication();
            }
            break;
        case kTrayRightButtonUp:
            if (showMenu_) showMenu_();
            break;
        default:
            break;
    }
}

void TrayMenu::click(int item) {
    if (item < 0 || item >= kTrayMenuItemCount) return;
    const MenuItem& chosen = items[item];
    if (chosen.separator() || !chosen.visible || !chosen.enabled) return;
    switch (item) {
        case kMIKillPopup:
        case kMIKillUrl:
        case kMIKillBanner:
        case kMIDisable:
            MIKillClick(item);
            break;
        case kMIPlaySound:
            MIPlaySoundClick();
            break;
        case kMIAutoCheckUpdates:
            MIAutoCheckUpdatesClick();
            break;
        case kOptionsMI:
            OptionsMIClick();
            break;
        case kExceptionMI:
            ExceptionMIClick();
            break;
        case kBlackListMI:
            BlackListMIClick();
            break;
        case kLogsMI:
            LogsMIClick();
            break;
        case kHelpMI:
            IBtnHelpClick();
            break;
        case kVisitMI:
            VisitMIClick();
            break;
        case kUpdateMI:
            UpdateMIClick();
            break;
        case kAboutMI:
            AboutMIClick();
            break;
        case kCloseMI:
            CloseMIClick();
            break;
        default:
            break;
    }
}

void TrayMenu::MISetState(int item, bool checked) {
    items[item].checked = checked;
    if (const int number = MIGetByHandle(item); number != 0) {
        items[item].caption = kToggleCaptions[number];
    }
}

int TrayMenu::MIGetByHandle(int item) {
    switch (item) {
        case kMIKillPopup:
            return 1;
        case kMIKillUrl:
            return 2;
        case kMIKillBanner:
            return 3;
        case kMIDisable:
            return 5;
        default:
            return 0;
    }
}

void TrayMenu::MIKillClick(int item) {
    const int number = MIGetByHandle(item);
    if (number == 0) return;
    const bool checked = !items[item].checked;
    items[item].checked = checked;
    const std::string flag = checked ? "1" : "0";
    Settings& settings = form_.settings;
    OptionControls& controls = form_.controls;
    switch (number) {
        case 1:
            settings.killpop = flag;
            controls.CheckBox1 = checked;
            break;
        case 2:
            settings.killurl = flag;
            controls.CheckBox2 = checked;
            break;
        case 3:
            settings.killbanner = flag;
            controls.CheckBox3 = checked;
            break;
        default:
            settings.killidle = flag;
            controls.CheckBox9 = checked;
            break;
    }
    // Applies every control, so edits still pending on the Options page are saved too.
    form_.applyOptions(false);
    MISetState(item, items[item].checked);
}

void TrayMenu::MIAutoCheckUpdatesClick() {
    const bool checked = !items[kMIAutoCheckUpdates].checked;
    items[kMIAutoCheckUpdates].checked = checked;
    form_.updateCheck.TimerUpdate.setEnabled(checked);
    form_.settings.vtr_auto_update = checked ? "1" : "0";
    form_.controls.CheckBox11 = checked;
    form_.applyOptions(false);
}

void TrayMenu::MIPlaySoundClick() {
    form_.MIPlaySoundClick();
}

void TrayMenu::VisitMIClick() {
    desktop_.openUrl(form_.HomePageUrl);
}

void TrayMenu::UpdateMIClick() {
    form_.updateCheck.UpdateMIClick();
}

void TrayMenu::CloseMIClick() {
    form_.application.IBtnCloseClick();
}

std::string TrayMenu::helpPageUrl() const {
    return form_.HomePageUrl + "help/?version=" + encodeQueryValue(kVersionTag);
}

void TrayMenu::IBtnHelpClick() {
    desktop_.openUrl(helpPageUrl());
}

void TrayMenu::showPage(int page) {
    form_.application.restoreapplication();
    form_.skin.switchPage(page);
}

}  // namespace vantrel
