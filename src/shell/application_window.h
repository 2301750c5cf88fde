#pragma once

#include <functional>

#include "common/timer.h"
#include "engine/tray_alert.h"
#include "platform/desktop.h"
#include "platform/event_loop.h"

namespace vantrel {

// The main window's life on the desktop: shown with its taskbar button, or minimised to the
// tray; and its closing. The view shows what `View` reports, tells the model when the program
// gains or loses activation, and routes the window manager's own minimise to `minimize`.
class ApplicationWindow {
  public:
    static constexpr const char* kCloseQuestion = "Are you sure you want to exit Vantrel?";
    static constexpr const char* kCloseCaption = "Close Vantrel";

    struct View {
        // Shows the window with its taskbar button (restored and raised), or hides both.
        std::function<void(bool shown)> showWindow;
        // Closes the main window: the event loop returns and the shutdown runs.
        std::function<void()> closeMainWindow;
    };

    // `tray` gives the tip in force when the tray entry comes back.
    ApplicationWindow(EventLoop& loop, Desktop& desktop, const TrayAlert& tray);

    void setView(View view) { view_ = std::move(view); }

    // The minimise hand-off: the tray entry is (re-)added, then the window and its taskbar
    // button go away. Runs on every minimise.
    void minimize();
    void restoreapplication();
    void IBtnMinClick() { minimize(); }
    // Asks for confirmation; only on OK the tray entry goes and the window closes.
    void IBtnCloseClick();
    void TimerMinTimer();
    void TimerCloseTimer();
    void close();

    // The view reports whether the program is the active application.
    void setActive(bool active) { active_ = active; }

    bool shown() const { return shown_; }
    bool active() const { return active_; }
    bool closed() const { return closed_; }

    // Minimises once after start-up when "Minimize upon starting" is on.
    Timer TimerMin;
    // Closes once after a start-up that could not reach the browser.
    Timer TimerClose;

  private:
    Desktop& desktop_;
    const TrayAlert& tray_;
    View view_;
    bool shown_ = true;
    bool active_ = true;
    bool closed_ = false;
};

}  // namespace vantrel
