#pragma once

#include <optional>
#include <string>

#include "platform/browser.h"

namespace vantrel {

// The tray pictures the program shows.
enum class TrayIcon { StopIcon, Tray, Tray1 };

// Confirm: warning icon, OK and Cancel buttons, Cancel the default. ConfirmDefaultOk: the same
// with OK the default.
enum class MessageBoxKind { Error, Information, Question, Confirm, ConfirmDefaultOk };
enum class MessageBoxAnswer { Ok, Yes, No, Cancel };

// The user's desktop: the window in front, the keyboard, global hot keys, the tray entry,
// sounds and message boxes. Everything is called on the main thread.
class Desktop {
  public:
    static constexpr int kModControl = 2;
    static constexpr int kModAlt = 1;

    virtual ~Desktop() = default;

    // The window in front now; 0 when there is none.
    virtual WindowHandle foregroundWindow() = 0;
    // True while a CTRL key is held down at this moment.
    virtual bool controlKeyDown() = 0;

    // A process-wide identifier for the name; the same name gives the same identifier.
    virtual int addAtom(const std::string& name) = 0;
    // The hot key arrives as the identifier through the program's hot-key handler. False when
    // the combination cannot be had (another program holds it).
    virtual bool registerHotKey(int id, int modifiers, int keyCode) = 0;
    virtual void unregisterHotKey(int id) = 0;

    // The tray entry with its tip; false when the tray refuses (for example, no tray host).
    virtual bool trayAdd(TrayIcon icon, const std::string& tip) = 0;
    virtual bool trayModify(TrayIcon icon) = 0;
    // Changes the tip of the existing entry; false when there is none.
    virtual bool traySetTip(const std::string& tip) = 0;
    virtual void trayDelete() = 0;

    // Both play asynchronously and report nothing.
    virtual void playSoundFile(const std::string& path) = 0;
    virtual void playBuiltInSound() = 0;

    // The modal file-open dialog for a wave file ("Wav file|*.wav"), starting in `startFolder`
    // (empty: the dialog's own choice). The chosen path, or nothing when the user cancels.
    virtual std::optional<std::string> chooseWaveFile(const std::string& startFolder) = 0;

    // Opens the web page in the user's default browser; a page that cannot be opened is not
    // reported.
    virtual void openUrl(const std::string& url) = 0;

    // Modal; for kind Question the answer is Yes or No, for both Confirm kinds Ok or Cancel,
    // otherwise Ok.
    virtual MessageBoxAnswer messageBox(const std::string& text, const std::string& caption,
                                        MessageBoxKind kind) = 0;
};

}  // namespace vantrel
