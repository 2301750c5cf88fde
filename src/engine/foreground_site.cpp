#include "engine/foreground_site.h"

#include "common/error.h"

namespace vantrel {

ForegroundSite::ForegroundSite(Desktop& desktop, BrowserShell& browsers, DomainLists& lists,
                               KillLog& log)
    : desktop_(desktop), browsers_(browsers), lists_(lists), log_(log) {}

void ForegroundSite::run(Target target) {
    const WindowHandle foreground = desktop_.foregroundWindow();
    try {
        const auto windows = browsers_.createWindows();
        const int count = windows->Count();
        for (int index = 0; index < count; ++index) {
            const auto browser = windows->Item(index);
            if (browser && browser->handle() == foreground) add(target, browser->LocationURL());
        }
    } catch (const BrowserError&) {
    } catch (const Error& e) {
        // The list file could not be written; the entry stays in memory until the next save.
        desktop_.messageBox(e.what(), "Vantrel", MessageBoxKind::Error);
    }
}

void ForegroundSite::add(Target target, const std::string& address) {
    if (target == Target::AllowedList) {
        lists_.AddURLToList(lists_.CleanList, address);
    } else {
        log_.tracklog(address, true);
        lists_.AddURLToList(lists_.BlackList, address);
    }
}

}  // namespace vantrel
