#include "programs/vantrel/browser_button_setup.h"

#include <cstdlib>

#include "platform/posix/xdg_autostart.h"

namespace vantrel {

namespace {

// The profile a started browser uses: its --user-data-dir, or Chromium's default one.
std::string startedProfile(const chromium::LaunchOptions& launch, const std::string& configHome) {
    constexpr std::string_view kFlag = "--user-data-dir=";
    std::string profile = configHome + "/chromium";
    for (const std::string& argument : chromium::launchArguments(launch)) {
        if (argument.starts_with(kFlag)) profile = argument.substr(kFlag.size());
    }
    return profile;
}

}  // namespace

std::unique_ptr<webext::BrowserExtension> setUpBrowserButton(FileSystem& files,
                                                             const std::string& programFolder,
                                                             const std::string& executable,
                                                             chromium::ChromiumOptions& options) {
    const std::string configHome = posix::XdgAutostart::userConfigHome();
    const char* home = std::getenv("HOME");
    std::string profile;
    if (options.attach.empty()) {
        options.launch.extraArguments.push_back("--load-extension=" +
                                                webext::extensionFolder(programFolder));
        profile = startedProfile(options.launch, configHome);
    }
    return std::make_unique<webext::BrowserExtension>(
        files, programFolder, executable,
        webext::hostFolders(configHome, home != nullptr ? home : "", profile));
}

}  // namespace vantrel
