#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "common/error.h"
#include "platform/posix/posix_file_system.h"
#include "platform/webext/browser_extension.h"
#include "temp_dir.h"

using namespace vantrel;
using namespace vantrel::webext;
using Json = nlohmann::json;

namespace {

const ToolbarButton kButton{"Kill popup", "Kill \"popup\" \\ menu", "Run Script", true};

Json readJson(const std::string& path) {
    return Json::parse(readAll(path), nullptr, false);
}

void makeFolder(const std::string& path) {
    std::filesystem::create_directories(path);
}

}  // namespace

TEST(BrowserExtension, WritesAnExtensionWithTheButtonTheMenuItemAndTheIcons) {
    TempDir dir;
    posix::PosixFileSystem files;
    BrowserExtension(files, dir.path(), "/opt/vantrel/vantrel", {}).registerButton(kButton);

    const std::string folder = dir.path() + "browser-extension/";
    const Json manifest = readJson(folder + "manifest.json");
    ASSERT_TRUE(manifest.is_object());
    EXPECT_EQ(manifest["manifest_version"], 3);
    EXPECT_EQ(manifest["action"]["default_title"], "Kill popup");
    EXPECT_EQ(manifest["action"]["default_area"], "navbar");
    EXPECT_EQ(manifest["description"], "Run Script");
    EXPECT_FALSE(manifest["key"].get<std::string>().empty());
    EXPECT_EQ(manifest["browser_specific_settings"]["gecko"]["id"], kFirefoxExtensionId);
    EXPECT_EQ(manifest["permissions"],
              Json::array({"nativeMessaging", "contextMenus", "tabs", "webNavigation", "scripting",
                           "webRequest", "webRequestBlocking", "declarativeNetRequest"}));
    EXPECT_EQ(manifest["host_permissions"], Json::array({"<all_urls>"}));
    for (const auto& [size, path] : manifest["action"]["default_icon"].items()) {
        const std::string png = readAll(folder + path.get<std::string>());
        EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n") << size;
    }
    EXPECT_EQ(manifest["action"]["default_icon"].size(), 4u);

    // The menu title reaches the script as a string literal, whatever it holds.
    const std::string script = readAll(folder + "background.js");
    EXPECT_NE(script.find(R"(const MENU_TITLE = "Kill \"popup\" \\ menu";)"), std::string::npos);
    EXPECT_NE(script.find(R"(const HOST = "vantrel.host";)"), std::string::npos);
    // Without the visible default, Firefox keeps the button in its overflow menu.
    EXPECT_FALSE(
        Json::parse(extensionManifest({"a", "b", "c", false}))["action"].contains("default_area"));
}

TEST(BrowserExtension, HostManifestsGoToTheBrowsersThisUserHas) {
    TempDir dir;
    const std::string config = dir.path() + "config";
    const std::string home = dir.path() + "home";
    EXPECT_TRUE(hostFolders(config, home, "").empty());

    makeFolder(config + "/chromium");
    makeFolder(config + "/BraveSoftware/Brave-Browser");
    makeFolder(home + "/.mozilla");
    const auto folders = hostFolders(config, home, dir.path() + "profile");
    ASSERT_EQ(folders.size(), 4u);
    EXPECT_EQ(folders[0].path, config + "/chromium/NativeMessagingHosts/");
    EXPECT_EQ(folders[1].path, config + "/BraveSoftware/Brave-Browser/NativeMessagingHosts/");
    EXPECT_EQ(folders[2].path, dir.path() + "profile/NativeMessagingHosts/");
    EXPECT_EQ(folders[3].path, home + "/.mozilla/native-messaging-hosts/");
    EXPECT_EQ(folders[3].family, BrowserFamily::Firefox);
    // The profile Vantrel starts that is also the default one is written once.
    EXPECT_EQ(hostFolders(config, home, config + "/chromium").size(), 3u);
    // A Firefox user whose profiles are under the XDG folder: the manifest still goes to the
    // home's ".mozilla", the only place Firefox reads it from.
    TempDir xdgUser;
    makeFolder(xdgUser.path() + "config/mozilla/firefox");
    const auto xdgFolders = hostFolders(xdgUser.path() + "config", xdgUser.path() + "home", "");
    ASSERT_EQ(xdgFolders.size(), 1u);
    EXPECT_EQ(xdgFolders[0].path, xdgUser.path() + "home/.mozilla/native-messaging-hosts/");

    posix::PosixFileSystem files;
    BrowserExtension(files, dir.path() + "prog/", "/opt/vantrel/vantrel", folders)
        .registerButton(kButton);
    const Json chromium = readJson(folders[0].path + "vantrel.host.json");
    EXPECT_EQ(chromium["name"], "vantrel.host");
    EXPECT_EQ(chromium["type"], "stdio");
    EXPECT_EQ(chromium["path"], "/opt/vantrel/vantrel");
    EXPECT_EQ(chromium["allowed_origins"],
              Json::array({std::string("chrome-extension://") + kChromiumExtensionId + "/"}));
    EXPECT_TRUE(readJson(folders[2].path + "vantrel.host.json").is_object());
    const Json firefox = readJson(folders[3].path + "vantrel.host.json");
    EXPECT_EQ(firefox["allowed_extensions"], Json::array({kFirefoxExtensionId}));
    EXPECT_FALSE(firefox.contains("allowed_origins"));
}

TEST(BrowserExtension, AMovedProgramRewritesEveryFileWithItsNewPath) {
    TempDir dir;
    // Spaces and quotes in the folders survive as they are.
    const std::string oldFolder = dir.path() + "old \"place\" it's/";
    const std::string newFolder = dir.path() + "new place/";
    const std::vector<HostFolder> folders{{dir.path() + "hosts/", BrowserFamily::Chromium}};
    posix::PosixFileSystem files;
    BrowserExtension(files, oldFolder, oldFolder + "vantrel", folders).registerButton(kButton);
    EXPECT_EQ(readJson(folders[0].path + "vantrel.host.json")["path"], oldFolder + "vantrel");

    BrowserExtension(files, newFolder, newFolder + "vantrel", folders).registerButton(kButton);
    EXPECT_EQ(readJson(folders[0].path + "vantrel.host.json")["path"], newFolder + "vantrel");
    EXPECT_TRUE(readJson(newFolder + "browser-extension/manifest.json").is_object());
    // Written whole: no side file is left beside any of them.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().extension(), ".new") << entry.path();
    }
}

TEST(BrowserExtension, AFolderThatCannotBeMadeIsAnErrorNamingIt) {
    TempDir dir;
    posix::PosixFileSystem files;
    files.writeFile(dir.path() + "blocker", "a file where a folder should be");
    try {
        BrowserExtension(files, dir.path() + "blocker/", "/opt/vantrel/vantrel", {})
            .registerButton(kButton);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(dir.path() + "blocker/"), std::string::npos)
            << e.what();
    }
}

TEST(BrowserExtension, OnlyTheBrowsersWayOfStartingTheHostIsTakenForItAndOnlyForOurExtension) {
    const std::string origin = std::string("chrome-extension://") + kChromiumExtensionId + "/";
    const std::string manifest = "/home/u/.mozilla/native-messaging-hosts/vantrel.host.json";
    EXPECT_EQ(hostCaller({origin}), HostCaller::Vantrel);
    EXPECT_EQ(hostCaller({manifest, kFirefoxExtensionId}), HostCaller::Vantrel);
    EXPECT_EQ(hostCaller({}), HostCaller::None);
    EXPECT_EQ(hostCaller({"ie"}), HostCaller::None);
    EXPECT_EQ(hostCaller({kFirefoxExtensionId}), HostCaller::None);
    EXPECT_EQ(hostCaller({"chrome-extension://abcdefghijklmnopabcdefghijklmnop/"}),
              HostCaller::Foreign);
    EXPECT_EQ(hostCaller({manifest, "other@example.org"}), HostCaller::Foreign);
}
