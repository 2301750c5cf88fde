#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "settings/settings_store.h"

namespace vantrel {

// The program's way from its start to its end, before and around the main window. The desktop
// program fills the steps with its platform and screens; tests with their own.
struct ProgramEntry {
    static constexpr const char* kSkipInstanceTest = "ie";
    static constexpr const char* kIntroducedValue = "is_introduced";

    // True when a running copy was found and took the hand-over message (the browser button).
    std::function<bool()> handOverToRunningCopy;
    // The screens of the very first start (extras offer, domain finder, intro), modal, before
    // the main window exists. Empty: there are none.
    std::function<void()> firstRunSequence;
    // Creates the main window (FormCreate), runs the event loop until it closes, and shuts down
    // (FormDestroy). Its result is the process's exit code.
    std::function<int()> runMainWindow;
};

// Only the exact first argument "ie" skips the test for a running copy.
bool checksForRunningCopy(const std::vector<std::string>& arguments);

// The program entry: a start that hands over to a running copy ends at once with 0; otherwise
// the first-run screens come when there are any and the settings do not mark them as shown,
// then the marker is set, and the main window runs. A marker that cannot be read or written is shown in the error
// box (`desktop`) and the main window runs all the same.
int runProgram(const std::vector<std::string>& arguments, SettingsStore& store, Desktop& desktop,
               const ProgramEntry& entry);

}  // namespace vantrel
