#include "engine/tray_alert.h"

namespace vantrel {

TrayAlert::TrayAlert(const Settings& settings, Desktop& desktop, EventLoop& loop)
    : TimerStopIcon(loop, 1000, [this] { TimerStopIconTimer(); }),
      TimerChageIcon(loop, 10000, [this] { TimerChageIconTimer(); }),
      settings_(settings),
      desktop_(desktop) {}

void TrayAlert::SetTrayIcon(TrayIcon icon) {
    if (settings_.is_blinked != "1") return;
    if (icon != TrayIcon::Tray) TimerStopIcon.setEnabled(true);
    desktop_.trayModify(icon);  // a refusal of the tray host is not ours to report
}

void TrayAlert::setTip(const std::string& tip) {
    tip_ = tip;
    desktop_.traySetTip(tip);
}

void TrayAlert::TimerStopIconTimer() {
    TimerStopIcon.setEnabled(false);
    SetTrayIcon(TrayIcon::Tray);
}

void TrayAlert::TimerChageIconTimer() {
    desktop_.trayAdd(TrayIcon::Tray1, tip_);
}

}  // namespace vantrel
