#include "shell/options_page.h"

#include "common/error.h"
#include "platform/autostart.h"
#include "settings/option_controls.h"
#include "shell/vantrel_form.h"

namespace vantrel {

OptionsPage::OptionsPage(VantrelForm& form, Autostart* autostart)
    : form_(form), autostart_(autostart) {}

void OptionsPage::initform() {
    VantrelForm& f = form_;
    f.settingsStore.LoadSettings(f.settings, [this] { IBtnOkClick(false); });
    fillControls(f.settings, f.controls);
    TrayMenu& menu = f.trayMenu;
    menu.MISetState(kMIKillPopup, f.controls.CheckBox1);
    menu.MISetState(kMIKillUrl, f.controls.CheckBox2);
    menu.MISetState(kMIKillBanner, f.controls.CheckBox3);
    menu.MISetState(kMIDisable, f.controls.CheckBox9);
    menu.items[kMIPlaySound].checked = f.controls.CheckBox10;
    menu.items[kMIAutoCheckUpdates].checked = f.controls.CheckBox11;
    f.lists.LoadLists();
}

void OptionsPage::IBtnOkClick(bool withSender) {
    try {
        apply(withSender);
    } catch (const Error& e) {
        form_.showError(e.what());
    }
}

void OptionsPage::apply(bool withSender) {
    VantrelForm& f = form_;
    const OptionControls& controls = f.controls;
    // Check boxes, both key boxes (an empty one keeps its stored code) and the slider.
    storeControls(controls, f.settings);

    TrayMenu& menu = f.trayMenu;
    menu.MISetState(kMIKillPopup, controls.CheckBox1);
    menu.MISetState(kMIKillUrl, controls.CheckBox2);
    menu.MISetState(kMIKillBanner, controls.CheckBox3);
    menu.MISetState(kMIDisable, controls.CheckBox9);
    const bool killing = f.settings.killidle != "1";
    for (int item : {kMIKillBanner, kMIKillPopup, kMIKillUrl}) menu.items[item].enabled = killing;
    menu.items[kMIPlaySound].checked = controls.CheckBox10;
    menu.items[kMIAutoCheckUpdates].checked = controls.CheckBox11;
    f.updateCheck.TimerUpdate.setEnabled(menu.items[kMIAutoCheckUpdates].checked);

    // Before start-up has set the keys up (the first run), this only stores the codes.
    f.hotKeys.reregister();
    f.settings.killlevel = "0";
    f.settingsStore.SaveSettings(f.settings);
    updateAutostart();

    if (!withSender) return;
    f.application.minimize();
    f.lists.SaveLists();
}

void OptionsPage::updateAutostart() {
    if (form_.settings.autostart == "1") {
        addAutostartEntry();
    } else if (autostart_ && autostart_->exists()) {
        autostart_->remove();
    }
}

void OptionsPage::addAutostartEntry() {
    // An entry that exists keeps the path it has.
    if (autostart_ && !autostart_->exists()) autostart_->add();
}

void OptionsPage::IBtnCancelClick() {
    form_.application.minimize();
    try {
        initform();
    } catch (const Error& e) {
        form_.showError(e.what());
    }
}

}  // namespace vantrel
