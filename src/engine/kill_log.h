#pragma once

#include <string>
#include <string_view>

#include "engine/domain_lists.h"
#include "engine/kill_sound.h"
#include "engine/list_view.h"
#include "engine/tray_alert.h"
#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "settings/settings.h"

namespace vantrel {

// Every kill passes through tracklog: the alerts, the counter (Settings::vtr_count) and a row
// of the log with the time and the address. The log also holds notes about the browsers, rows
// that are no kill.
class KillLog {
  public:
    static constexpr const char* kNoAddress = "Popup ad";
    // A note's row carries a third column, which the views do not show, with kNoteMark.
    enum Column { TimeColumn = 0, KilledAdsColumn = 1, NoteColumn = 2 };
    static constexpr const char* kNoteMark = "note";

    KillLog(Settings& settings, EventLoop& loop, Desktop& desktop, DomainLists& lists,
            TrayAlert& tray, KillSound& sound);

    void tracklog(std::string_view address, bool alert);
    // A row with the time and `text`: no alert, and the counter keeps its value.
    void note(std::string text);
    static bool isNote(const ListView::Row& row);
    // The selected row's address to the allowed list; a note's row adds nothing.
    void ListViewLogDblClick();
    // Empties the log; the counter keeps its value.
    void IBtnClearClick() { ListViewLog.clear(); }

    ListView ListViewLog;

  private:
    std::string timeText() const;

    Settings& settings_;
    EventLoop& loop_;
    Desktop& desktop_;
    DomainLists& lists_;
    TrayAlert& tray_;
    KillSound& sound_;
};

// "MM-DD hh:mm:ss".
std::string formatLogTime(const LocalDateTime& time);

}  // namespace vantrel
