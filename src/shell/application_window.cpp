#include "shell/application_window.h"

namespace vantrel {

ApplicationWindow::ApplicationWindow(EventLoop& loop, Desktop& desktop, const TrayAlert& tray)
    : TimerMin(loop, 1, [this] { TimerMinTimer(); }),
      TimerClose(loop, 1, [this] { TimerCloseTimer(); }),
      desktop_(desktop),
      tray_(tray) {}

void ApplicationWindow::minimize() {
    // Fails harmlessly when the entry is there; brings it back when the tray host lost it.
    desktop_.trayAdd(TrayIcon::Tray, tray_.tip());
    shown_ = false;
    active_ = false;
    if (view_.showWindow) view_.showWindow(false);
}

void ApplicationWindow::restoreapplication() {
    shown_ = true;
    active_ = true;
    if (view_.showWindow) view_.showWindow(true);
}

void ApplicationWindow::IBtnCloseClick() {
    const MessageBoxAnswer answer =
        desktop_.messageBox(kCloseQuestion, kCloseCaption, MessageBoxKind::Confirm);
    if (answer != MessageBoxAnswer::Ok) return;
    desktop_.trayDelete();
    close();
}

void ApplicationWindow::TimerMinTimer() {
    TimerMin.setEnabled(false);
    minimize();
}

void ApplicationWindow::TimerCloseTimer() {
    TimerClose.setEnabled(false);
    close();
}

void ApplicationWindow::close() {
    if (closed_) return;
    closed_ = true;
    if (view_.closeMainWindow) view_.closeMainWindow();
}

}  // namespace vantrel
