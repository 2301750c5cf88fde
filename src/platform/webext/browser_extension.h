#pragma once

#include <string>
#include <vector>

#include "platform/browser_button.h"
#include "platform/file_system.h"

namespace vantrel::webext {

// Vantrel's browser extension: an unpacked WebExtension (Manifest V3) in the program folder that
// talks to the program through native messaging. Its ids are fixed, so a browser knows it as
// the same extension on every machine and after every start.

// The native-messaging host name the extension calls.
constexpr const char* kHostName = "vantrel.host";
// Chromium's id, derived from the public key in the manifest.
constexpr const char* kChromiumExtensionId = "aanlkgnafbamihjepknkomciemmmoajj";
constexpr const char* kFirefoxExtensionId = "extension@vantrel.invalid";

enum class BrowserFamily { Chromium, Firefox };

// A folder a browser reads native-messaging host manifests from.
struct HostFolder {
    std::string path;  // ends with "/"
    BrowserFamily family;
};

// The extension's folder in the program folder.
std::string extensionFolder(const std::string& programFolder);
// The same files packed in one file beside the folder, as Firefox installs them.
std::string extensionPackage(const std::string& programFolder);

// The host folders of the browsers this user has set up: Chromium, Google Chrome and Brave
// under `configHome`, Firefox under `home` (its configuration is either there or under
// `configHome`), each only when the browser's own configuration folder exists; and the profile
// `startedProfile` of a Chromium that Vantrel starts with a user-data folder of its own (empty:
// none).
std::vector<HostFolder> hostFolders(const std::string& configHome, const std::string& home,
                                    const std::string& startedProfile);

// Who the browser started the program as a native-messaging host for, by its arguments:
// Chromium passes the extension's origin, Firefox the host manifest's path and the extension's
// id. Foreign: another extension, whose host manifest names this program.
enum class HostCaller { None, Vantrel, Foreign };
HostCaller hostCaller(const std::vector<std::string>& arguments);

// The files, as text.
std::string extensionManifest(const ToolbarButton& button);
std::string backgroundScript(const ToolbarButton& button);
// Firefox's guard of window.open in every frame (Chromium runs it and it does nothing).
std::string openGuardScript();
std::string hostManifest(const std::string& executable, BrowserFamily family);

// Writes the extension into the program folder, unpacked and packed, and a host manifest naming
// `executable` into every host folder; every file is replaced whole.
class BrowserExtension : public BrowserButton {
  public:
    BrowserExtension(FileSystem& files, const std::string& programFolder, std::string executable,
                     std::vector<HostFolder> hostFolders);

    void registerButton(const ToolbarButton& button) override;

  private:
    FileSystem& files_;
    std::string folder_;
    std::string package_;
    std::string executable_;
    std::vector<HostFolder> hostFolders_;
};

}  // namespace vantrel::webext
