#pragma once

#include <string>

#include "settings/settings.h"

namespace vantrel {

// The states of the option controls: the check boxes of the Options page, the two hot-key boxes
// and the sensitivity slider. A view binds to this object; the members start in the states a
// new installation shows.
struct OptionControls {
    bool CheckBox1 = true;      // "Kill pop-ups and pop-unders"        killpop
    bool CheckBox2 = true;      // "Kill advertising sites (URLs)"      killurl
    bool CheckBox3 = true;      // "Kill standard banners"              killbanner
    bool CheckBox4 = true;      // hidden, no setting
    bool CheckBox5 = true;      // "Start on login"           autostart
    bool CheckBox6 = false;     // "Minimize upon starting"             automin
    bool CheckBox7 = true;      // "Icon shall blink when a popup is killed"  is_blinked
    bool CheckBox8 = true;      // "Idle mode on pressing CTRL"         enhotcut
    bool CheckBox9 = false;     // "Disable"                            killidle
    bool CheckBox10 = true;     // "Sound notification of popup killing"  is_sound
    bool CheckBox11 = true;     // "Automatically check for updates"    vtr_auto_update
    std::string EditHK = "E";   // allowed-list hot key letter
    std::string EditBHK = "B";  // blacklist hot key letter
    int TBSLevel = 1;           // sensitivity, 1..3
};

// Check boxes, key boxes and slider into the settings: "1" for a checked box, "0" otherwise; a
// key box gives the decimal code of its first character upper-cased (an empty box leaves the
// field as it is); the slider's level, kept within 1 to 3, as decimal text.
void storeControls(const OptionControls& controls, Settings& settings);
// The settings into the controls: a box is checked exactly when its field is "1"; a key box shows
// the upper-case letter of HotKeyCode of its field (empty when that code is no character); the
// slider takes the decimal level kept within 1 to 3 (2 when the text is no number).
void fillControls(const Settings& settings, OptionControls& controls);

}  // namespace vantrel
