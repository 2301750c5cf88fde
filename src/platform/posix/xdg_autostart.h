#pragma once

#include <string>

#include "platform/autostart.h"
#include "platform/file_system.h"

namespace vantrel::posix {

// The XDG autostart entry "Vantrel.desktop" in `configHome`/autostart/ that desktops read at
// login; its Exec line starts `executable` without arguments.
class XdgAutostart : public Autostart {
  public:
    XdgAutostart(FileSystem& files, std::string configHome, std::string executable);

    // $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
    static std::string userConfigHome();
    // The full path of the running executable.
    static std::string runningExecutable();

    bool exists() override;
    void add() override;
    void remove() override;

    const std::string& entryPath() const { return entryPath_; }

  private:
    FileSystem& files_;
    std::string folder_;
    std::string entryPath_;
    std::string executable_;
};

// The Exec value that runs `path` as one argument: quoted and escaped as desktop entries require.
std::string desktopExecQuote(const std::string& path);

}  // namespace vantrel::posix
