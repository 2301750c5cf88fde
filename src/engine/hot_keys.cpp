#include "engine/hot_keys.h"

#include "common/text.h"

namespace vantrel {

HotKeys::HotKeys(const Settings& settings, Desktop& desktop, ForegroundSite& site, EventLoop& loop)
    : TimerIEPressed(loop, kButtonDelay, [this] { TimerIEPressedTimer(); }),
      settings_(settings),
      desktop_(desktop),
      site_(site) {}

void HotKeys::setUp() {
    allowedId_ = desktop_.addAtom(kAllowedAtom);
    desktop_.registerHotKey(allowedId_, kModifiers, HotKeyCode(settings_.vtr_key));
    blacklistId_ = desktop_.addAtom(kBlacklistAtom);
    desktop_.registerHotKey(blacklistId_, kModifiers, HotKeyCode(settings_.vtr_bkey));
}

void HotKeys::reregister() {
    if (allowedId_ == 0) return;  // not set up: nothing to re-register yet
    desktop_.unregisterHotKey(allowedId_);
    desktop_.registerHotKey(allowedId_, kModifiers, HotKeyCode(settings_.vtr_key));
    desktop_.unregisterHotKey(blacklistId_);
    desktop_.registerHotKey(blacklistId_, kModifiers, HotKeyCode(settings_.vtr_bkey));
}

void HotKeys::unregisterAll() {
    if (allowedId_ == 0) return;
    desktop_.unregisterHotKey(allowedId_);
    desktop_.unregisterHotKey(blacklistId_);
}

void HotKeys::hotKeyMessage(int id) {
    if (id == 0) return;
    if (id == allowedId_) {
        site_.run(ForegroundSite::Target::AllowedList);
    } else if (id == blacklistId_) {
        site_.run(ForegroundSite::Target::Blacklist);
    }
}

void HotKeys::TimerIEPressedTimer() {
    TimerIEPressed.setEnabled(false);
    site_.run(ForegroundSite::Target::Blacklist);
}

void HotKeys::EditHKKeyUp(std::string& box, int virtualKey) {
    const char shown = upperAscii(char(virtualKey & 0xFF));
    // A key without a code would put a NUL character in the box.
    box = shown == '\0' ? std::string() : std::string(1, shown);
}

}  // namespace vantrel
