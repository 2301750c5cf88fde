#include "platform/sim/sim_desktop.h"

namespace vantrel::sim {

namespace {
constexpr int kFirstAtom = 0xC000;  // global atoms live above the integer atoms
}

int SimDesktop::addAtom(const std::string& name) {
    auto [it, added] = atoms_.emplace(name, kFirstAtom + int(atoms_.size()));
    return it->second;
}

int SimDesktop::atomOf(const std::string& name) const {
    auto it = atoms_.find(name);
    return it == atoms_.end() ? 0 : it->second;
}

bool SimDesktop::registerHotKey(int id, int modifiers, int keyCode) {
    if (heldByOthers.count({modifiers, keyCode}) != 0) return false;
    hotKeys[id] = {modifiers, keyCode};
    return true;
}

void SimDesktop::unregisterHotKey(int id) {
    hotKeys.erase(id);
}

bool SimDesktop::trayAdd(TrayIcon icon, const std::string& tip) {
    if (trayRefuses || trayPresent) return false;
    trayPresent = true;
    trayIcon = icon;
    trayTip = tip;
    trayChanges.push_back(icon);
    return true;
}

bool SimDesktop::trayModify(TrayIcon icon) {
    if (trayRefuses || !trayPresent) return false;
    trayIcon = icon;
    trayChanges.push_back(icon);
    return true;
}

bool SimDesktop::traySetTip(const std::string& tip) {
    if (trayRefuses || !trayPresent) return false;
    trayTip = tip;
    return true;
}

void SimDesktop::trayDelete() {
    trayPresent = false;
}

std::optional<std::string> SimDesktop::chooseWaveFile(const std::string& startFolder) {
    dialogFolders.push_back(startFolder);
    if (waveChoices.empty()) return std::nullopt;
    auto choice = waveChoices.front();
    waveChoices.pop_front();
    return choice;
}

MessageBoxAnswer SimDesktop::messageBox(const std::string& text, const std::string& caption,
                                        MessageBoxKind kind) {
    messages.push_back({text, caption, kind});
    if (!answers.empty()) {
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return kind == MessageBoxKind::Question ? MessageBoxAnswer::Yes : MessageBoxAnswer::Ok;
}

}  // namespace vantrel::sim
