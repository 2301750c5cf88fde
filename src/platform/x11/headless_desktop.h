#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "platform/desktop.h"
#include "platform/event_loop.h"

struct xcb_connection_t;

namespace vantrel::x11 {

class X11Keyboard;

// The desktop of a program without a toolkit (vantrelctl watch): no tray, no sounds, no
// dialogs; message boxes are printed. With an X11 display, the CTRL key and the hot keys work
// through xcb; without one, CTRL is never held and no hot key can be had.
class HeadlessDesktop : public Desktop {
  public:
    // Connects to $DISPLAY when there is one; hot keys reach the handler through `loop`.
    HeadlessDesktop(EventLoop& loop, std::ostream& messages);
    ~HeadlessDesktop() override;
    HeadlessDesktop(const HeadlessDesktop&) = delete;
    HeadlessDesktop& operator=(const HeadlessDesktop&) = delete;

    // The browser adapter knows the window in front; until it is set, there is none.
    void setForegroundWindowSource(std::function<WindowHandle()> source);
    // Receives the identifier of a pressed hot key, on the loop's thread.
    void setHotKeyHandler(std::function<void(int id)> handler);
    bool hasX11() const;
    // How many error boxes were shown, so a caller can tell a failed save from a clean one.
    int errorsShown() const { return errorsShown_; }

    WindowHandle foregroundWindow() override;
    bool controlKeyDown() override;
    int addAtom(const std::string& name) override;
    bool registerHotKey(int id, int modifiers, int keyCode) override;
    void unregisterHotKey(int id) override;
    bool trayAdd(TrayIcon icon, const std::string& tip) override;
    bool trayModify(TrayIcon icon) override;
    // No tray: the tip is printed, as it tells of the browser's loss and return.
    bool traySetTip(const std::string& tip) override;
    void trayDelete() override;
    void playSoundFile(const std::string& path) override;
    void playBuiltInSound() override;
    std::optional<std::string> chooseWaveFile(const std::string& startFolder) override;
    // Prints the address for the user to open: no browser window is started from here.
    void openUrl(const std::string& url) override;
    MessageBoxAnswer messageBox(const std::string& text, const std::string& caption,
                                MessageBoxKind kind) override;

  private:
    // What the event thread's posted tasks may still reach after the desktop is gone.
    struct Keys {
        std::unique_ptr<X11Keyboard> keyboard;
        std::function<void(int)> handler;
    };

    void readEvents();

    EventLoop& loop_;
    std::ostream& messages_;
    xcb_connection_t* connection_ = nullptr;
    std::shared_ptr<Keys> keys_;
    std::function<WindowHandle()> foreground_;
    std::map<std::string, int> atoms_;
    int errorsShown_ = 0;
    uint32_t stopWindow_ = 0;
    std::thread reader_;
};

}  // namespace vantrel::x11
