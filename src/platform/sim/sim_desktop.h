#pragma once

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"

namespace vantrel::sim {

// A desktop whose window in front, CTRL key, tray host and dialogs a test controls, and which
// records every hot key, tray change, sound and message box.
class SimDesktop : public Desktop {
  public:
    struct HotKey {
        int modifiers = 0;
        int keyCode = 0;
        bool operator==(const HotKey&) const = default;
    };
    struct ShownMessage {
        std::string text;
        std::string caption;
        MessageBoxKind kind;
    };
    static constexpr const char* kBuiltInSound = "<built-in>";

    WindowHandle foregroundWindow() override { return foreground; }
    bool controlKeyDown() override { return controlDown; }

    int addAtom(const std::string& name) override;
    bool registerHotKey(int id, int modifiers, int keyCode) override;
    void unregisterHotKey(int id) override;

    bool trayAdd(TrayIcon icon, const std::string& tip) override;
    bool trayModify(TrayIcon icon) override;
    bool traySetTip(const std::string& tip) override;
    void trayDelete() override;

    void playSoundFile(const std::string& path) override { sounds.push_back(path); }
    void playBuiltInSound() override { sounds.push_back(kBuiltInSound); }

    std::optional<std::string> chooseWaveFile(const std::string& startFolder) override;
    void openUrl(const std::string& url) override { openedUrls.push_back(url); }
    MessageBoxAnswer messageBox(const std::string& text, const std::string& caption,
                                MessageBoxKind kind) override;

    // The atom's identifier, or 0 when the name was never added.
    int atomOf(const std::string& name) const;

    // Set by the test.
    WindowHandle foreground = 0;
    bool controlDown = false;
    bool trayRefuses = false;                            // no tray host: every request fails
    std::set<std::pair<int, int>> heldByOthers;          // (modifiers, key) another program holds
    std::deque<std::optional<std::string>> waveChoices;  // answers of the file dialog, in order
    std::deque<MessageBoxAnswer> answers;                // answers of message boxes, in order

    // Read back by the test.
    std::map<int, HotKey> hotKeys;  // registered now, by identifier
    bool trayPresent = false;
    TrayIcon trayIcon = TrayIcon::Tray;
    std::string trayTip;
    std::vector<TrayIcon> trayChanges;  // every icon the entry showed, in order, adds included
    std::vector<std::string> sounds;    // played files, kBuiltInSound for the built-in sound
    std::vector<std::string> dialogFolders;
    std::vector<ShownMessage> messages;
    std::vector<std::string> openedUrls;  // web pages opened, in order

  private:
    std::map<std::string, int> atoms_;
};

}  // namespace vantrel::sim
