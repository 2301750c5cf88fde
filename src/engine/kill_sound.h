#pragma once

#include <string>

#include "platform/desktop.h"
#include "platform/file_system.h"
#include "settings/settings.h"

namespace vantrel {

// The kill sound: the user's wave file when it exists, the built-in sound otherwise.
class KillSound {
  public:
    KillSound(Settings& settings, Desktop& desktop, FileSystem& files);

    void PlayKillSound();
    // "Test sound": plays whatever is_sound says.
    void IBtnTestClick() { PlayKillSound(); }
    // "Change sound": the chosen file when it exists, else the built-in sound from now on.
    void IBtnFolderClick();

  private:
    Settings& settings_;
    Desktop& desktop_;
    FileSystem& files_;
};

}  // namespace vantrel
