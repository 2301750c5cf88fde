#include "shell/program_entry.h"

#include "common/error.h"
#include "shell/error_box.h"

namespace vantrel {

bool checksForRunningCopy(const std::vector<std::string>& arguments) {
    return arguments.empty() || arguments.front() != ProgramEntry::kSkipInstanceTest;
}

int runProgram(const std::vector<std::string>& arguments, SettingsStore& store, Desktop& desktop,
               const ProgramEntry& entry) {
    if (checksForRunningCopy(arguments) && entry.handOverToRunningCopy &&
        entry.handOverToRunningCopy()) {
        return 0;
    }
    try {
        // The marker says the screens were shown: without them it stays unset.
        if (entry.firstRunSequence && store.readValue(ProgramEntry::kIntroducedValue) != "1") {
            entry.firstRunSequence();
            store.writeValue(ProgramEntry::kIntroducedValue, "1");
        }
    } catch (const Error& e) {
        showErrorBox(desktop, e.what());
    }
    return entry.runMainWindow ? entry.runMainWindow() : 0;
}

}  // namespace vantrel
