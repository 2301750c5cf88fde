#include "engine/kill_sound.h"

namespace vantrel {

namespace {

// Shorter paths cannot name a wave file; the same bound decides whether the dialog starts there.
bool namesAFile(const std::string& path) {
    return path.size() > 3;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

KillSound::KillSound(Settings& settings, Desktop& desktop, FileSystem& files)
    : settings_(settings), desktop_(desktop), files_(files) {}

void KillSound::PlayKillSound() {
    const std::string& path = settings_.vtr_sound;
    if (namesAFile(path) && files_.exists(path)) {
        desktop_.playSoundFile(path);
    } else {
        desktop_.playBuiltInSound();
    }
}

void KillSound::IBtnFolderClick() {
    const std::string start = namesAFile(settings_.vtr_sound) ? folderOf(settings_.vtr_sound) : "";
    const auto chosen = desktop_.chooseWaveFile(start);
    settings_.vtr_sound = chosen && files_.exists(*chosen) ? *chosen : std::string();
}

}  // namespace vantrel
