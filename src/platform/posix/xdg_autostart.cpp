#include "platform/posix/xdg_autostart.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/error.h"

namespace vantrel::posix {

XdgAutostart::XdgAutostart(FileSystem& files, std::string configHome, std::string executable)
    : files_(files),
      folder_(std::move(configHome) + "/autostart/"),
      entryPath_(folder_ + "Vantrel.desktop"),
      executable_(std::move(executable)) {}

std::string XdgAutostart::userConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}

std::string XdgAutostart::runningExecutable() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

bool XdgAutostart::exists() {
    return files_.exists(entryPath_);
}

void XdgAutostart::add() {
    if (exists()) return;
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) throw Error("Cannot create the folder " + folder_ + ": " + error.message());
    replaceFileContents(files_, entryPath_,
                        "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=Vantrel\n"
                        "Comment=Pop-up and advertising blocker\n"
                        "Exec=" +
                            desktopExecQuote(executable_) +
                            "\n"
                            "Terminal=false\n");
}

void XdgAutostart::remove() {
    files_.removeFile(entryPath_);
}

std::string desktopExecQuote(const std::string& path) {
    // Inside double quotes, ", `, $ and \ take a backslash; the whole value is then a desktop
    // entry string, where a backslash is itself written twice and line breaks are escapes (a raw
    // one would end the line and let the path add keys). A % is a field code: doubled.
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$') {
            quoted += "\\\\";
            quoted += c;
        } else if (c == '\\') {
            quoted += "\\\\\\\\";
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\r') {
            quoted += "\\r";
        } else if (c == '%') {
            quoted += "%%";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

}  // namespace vantrel::posix
