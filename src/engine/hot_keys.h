#pragma once

#include <string>

#include "common/timer.h"
#include "engine/foreground_site.h"
#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "settings/settings.h"

namespace vantrel {

// The two global hot keys CTRL+ALT+letter, the browser button's hand-over and the two key boxes.
// None of them consults the CTRL override: they work while the engine is disabled.
class HotKeys {
  public:
    static constexpr const char* kAllowedAtom = "VTR_hotkey";
    static constexpr const char* kBlacklistAtom = "VTR_bhotkey";
    static constexpr int kModifiers = Desktop::kModControl | Desktop::kModAlt;
    static constexpr EventLoop::Millis kButtonDelay = 100;

    HotKeys(const Settings& settings, Desktop& desktop, ForegroundSite& site, EventLoop& loop);

    // Start-up: the atoms, then both keys registered. A key another program holds is simply
    // not had; applying the options tries again.
    void setUp();
    // Part of applying the options, after the key boxes went into the settings: each key is
    // unregistered and registered anew with its current code.
    void reregister();
    // Shutdown.
    void unregisterAll();

    // The hot-key message with the key's identifier; other identifiers are ignored.
    void hotKeyMessage(int id);
    // The browser button's message (1025): the front site goes to the blacklist 100 ms later.
    void browserButtonMessage() { TimerIEPressed.setEnabled(true); }
    void TimerIEPressedTimer();

    // Key boxes: a key pressed empties the box; a key released shows its character.
    void EditHKKeyDown(std::string& box) { box.clear(); }
    void EditHKKeyUp(std::string& box, int virtualKey);

    int allowedId() const { return allowedId_; }
    int blacklistId() const { return blacklistId_; }

    Timer TimerIEPressed;

  private:
    const Settings& settings_;
    Desktop& desktop_;
    ForegroundSite& site_;
    int allowedId_ = 0;
    int blacklistId_ = 0;
};

}  // namespace vantrel
