#include "engine/kill_log.h"

#include <cstdio>
#include <utility>

#include "common/error.h"
#include "common/text.h"

namespace vantrel {

std::string formatLogTime(const LocalDateTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%02d %02d:%02d:%02d", time.month, time.day, time.hour,
                  time.minute, time.second);
    return text;
}

KillLog::KillLog(Settings& settings, EventLoop& loop, Desktop& desktop, DomainLists& lists,
                 TrayAlert& tray, KillSound& sound)
    : settings_(settings),
      loop_(loop),
      desktop_(desktop),
      lists_(lists),
      tray_(tray),
      sound_(sound) {}

void KillLog::tracklog(std::string_view address, bool alert) {
    if (alert) {
        tray_.SetTrayIcon(TrayIcon::StopIcon);
        if (settings_.is_sound == "1") sound_.PlayKillSound();
    }
    // The counter wraps rather than overflowing after 2^31 kills.
    settings_.vtr_count = std::int32_t(std::uint32_t(settings_.vtr_count) + 1u);
    if (containsNoCase(address, "adremoved.gif")) return;
    const std::string shown =
        trimControls(address).empty() ? std::string(kNoAddress) : std::string(address);
    ListViewLog.addRow({timeText(), shown});
}

void KillLog::note(std::string text) {
    ListViewLog.addRow({timeText(), std::move(text), kNoteMark});
}

bool KillLog::isNote(const ListView::Row& row) {
    return row.size() > NoteColumn && row[NoteColumn] == kNoteMark;
}

std::string KillLog::timeText() const {
    return formatLogTime(loop_.localTime());
}

void KillLog::ListViewLogDblClick() {
    const int selected = ListViewLog.selected();
    if (selected < 0 || isNote(ListViewLog.row(size_t(selected)))) return;
    const std::string address = ListViewLog.row(size_t(selected)).at(KilledAdsColumn);
    try {
        lists_.AddURLToList(lists_.CleanList, address);
    } catch (const Error& e) {
        desktop_.messageBox(e.what(), "Vantrel", MessageBoxKind::Error);
    }
}

}  // namespace vantrel
