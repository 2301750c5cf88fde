#include "settings/option_controls.h"

#include <algorithm>

#include "common/text.h"

namespace vantrel {
namespace {

std::string flag(bool checked) {
    return checked ? "1" : "0";
}

// The decimal code of the key box's letter, as the hot key registers it (letters upper case).
void storeKey(const std::string& box, std::string& field) {
    if (box.empty()) return;  // between key-down and key-up: keep the stored code
    field = std::to_string(int(static_cast<unsigned char>(upperAscii(box.front()))));
}

// The letter a stored code stands for; empty when the code is no character, so that an apply
// keeps the stored code instead of replacing it.
std::string keyLetter(const std::string& field) {
    const int code = HotKeyCode(field);
    if (code < 1 || code > 255) return {};
    return std::string(1, upperAscii(char(code)));
}

constexpr int kMinLevel = 1;
constexpr int kMaxLevel = 3;

}  // namespace

void storeControls(const OptionControls& controls, Settings& settings) {
    settings.killpop = flag(controls.CheckBox1);
    settings.killurl = flag(controls.CheckBox2);
    settings.killbanner = flag(controls.CheckBox3);
    settings.autostart = flag(controls.CheckBox5);
    settings.enhotcut = flag(controls.CheckBox8);
    settings.automin = flag(controls.CheckBox6);
    settings.killidle = flag(controls.CheckBox9);
    settings.is_blinked = flag(controls.CheckBox7);
    settings.is_sound = flag(controls.CheckBox10);
    settings.vtr_auto_update = flag(controls.CheckBox11);
    storeKey(controls.EditHK, settings.vtr_key);
    storeKey(controls.EditBHK, settings.vtr_bkey);
    settings.vtr_snlevel = std::to_string(std::clamp(controls.TBSLevel, kMinLevel, kMaxLevel));
}

void fillControls(const Settings& settings, OptionControls& controls) {
    controls.CheckBox1 = settings.killpop == "1";
    controls.CheckBox2 = settings.killurl == "1";
    controls.CheckBox3 = settings.killbanner == "1";
    controls.CheckBox5 = settings.autostart == "1";
    controls.CheckBox8 = settings.enhotcut == "1";
    controls.CheckBox6 = settings.automin == "1";
    controls.CheckBox9 = settings.killidle == "1";
    controls.CheckBox7 = settings.is_blinked == "1";
    controls.CheckBox10 = settings.is_sound == "1";
    controls.CheckBox11 = settings.vtr_auto_update == "1";
    controls.EditHK = keyLetter(settings.vtr_key);
    controls.EditBHK = keyLetter(settings.vtr_bkey);
    // A level that is no number shows the level a missing one loads as.
    controls.TBSLevel = std::clamp(int(decimalOr(settings.vtr_snlevel, 2)), kMinLevel, kMaxLevel);
}

}  // namespace vantrel
