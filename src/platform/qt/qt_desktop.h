#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/desktop.h"

class QIcon;
class QMessageBox;
class QSystemTrayIcon;
class QWidget;

namespace vantrel::qt {

// The desktop on Qt and X11: the tray entry through QSystemTrayIcon, hot keys and the CTRL key
// through xcb on the X11 connection Qt uses, the kill sound through libcanberra, message boxes
// through QMessageBox. Create it on the main thread after the QApplication.
class QtDesktop : public Desktop {
  public:
    QtDesktop();
    ~QtDesktop() override;

    // Wiring by the program.
    // The browser adapter knows the window in front; until it is set, there is none.
    void setForegroundWindowSource(std::function<WindowHandle()> source);
    // Receives the identifier of a pressed hot key, on the main thread, after the key event.
    void setHotKeyHandler(std::function<void(int id)> handler);
    // Receives kTrayLeftButtonDown, kTrayLeftDoubleClick and kTrayRightButtonUp
    // (platform/tray_messages.h).
    void setTrayHandler(std::function<void(int message)> handler);
    // Owner of the message boxes and dialogs.
    void setMainWindow(QWidget* window);
    // Shows a configured box and returns the button pressed; tests replace QMessageBox::exec.
    void setMessageBoxRunner(std::function<int(QMessageBox&)> runner);
    // For an end nobody started from the window (the session ends, the display is gone): from
    // now on no box is shown or waited for; each text goes to standard error instead, questions
    // are answered No and confirmations Cancel.
    void reportOnStandardError();
    // True when an error was reported on standard error.
    bool reportedAnError() const;
    // The display is gone: the tray and hot-key calls do nothing from now on.
    void forgetDisplay();

    WindowHandle foregroundWindow() override;
    bool controlKeyDown() override;
    int addAtom(const std::string& name) override;
    bool registerHotKey(int id, int modifiers, int keyCode) override;
    void unregisterHotKey(int id) override;
    bool trayAdd(TrayIcon icon, const std::string& tip) override;
    bool trayModify(TrayIcon icon) override;
    bool traySetTip(const std::string& tip) override;
    void trayDelete() override;
    void playSoundFile(const std::string& path) override;
    void playBuiltInSound() override;
    std::optional<std::string> chooseWaveFile(const std::string& startFolder) override;
    void openUrl(const std::string& url) override;
    MessageBoxAnswer messageBox(const std::string& text, const std::string& caption,
                                MessageBoxKind kind) override;

    QSystemTrayIcon& trayIcon();
    const QIcon& icon(TrayIcon which) const;
    // False under a platform without X11 (offscreen, Wayland): no hot keys, CTRL never held.
    bool hasX11() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vantrel::qt
