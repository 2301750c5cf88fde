#pragma once

// What the tests and benches of watching through the extension set up alike: a watcher's
// lists and settings, and browsers with the program's extension, as a user installs it.

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "firefox_browser.h"
#include "platform/posix/posix_file_system.h"
#include "platform/sqlite/sqlite_registry.h"
#include "platform/webext/browser_extension.h"
#include "platform/webext/zip_archive.h"
#include "settings/settings_store.h"
#include "test_browser.h"
#include "watch_process.h"

namespace chromium_test {

// The arguments of a `vantrelctl watch` through the extension alone, with its lists in
// `folder`lists/ and its settings in `folder`registry.db, where the vendor server is
// `vendorServer`.
inline std::vector<std::string> extensionWatchArguments(const std::string& folder,
                                                        const std::string& vendorServer) {
    const std::string lists = folder + "lists/";
    const std::string registry = folder + "registry.db";
    std::filesystem::create_directory(lists);
    vantrel::sqlite::SqliteRegistry(registry).writeValue(vantrel::SettingsStore::kKey, "vtr_server",
                                                         vendorServer);
    return {"--attach", "extension", "--lists", lists, "--registry", registry};
}

// A watcher through the extension alone, in `folder` as above, with "friend.test" on its allowed
// list; true once it says it is connected.
inline bool startExtensionWatch(const std::string& folder, const std::string& vendorServer,
                                std::unique_ptr<WatchProcess>& watch) {
    const auto arguments = extensionWatchArguments(folder, vendorServer);
    std::ofstream(folder + "lists/allowed.lis", std::ios::binary) << "friend.test\r\n";
    watch = std::make_unique<WatchProcess>(arguments);
    return watch->waitForError("connected\n");
}

// The extension written into `program`, and its host named for the browsers of `hosts`.
inline void writeExtension(const std::string& program,
                           std::vector<vantrel::webext::HostFolder> hosts) {
    vantrel::posix::PosixFileSystem files;
    vantrel::webext::BrowserExtension(files, program, VANTREL_PATH, std::move(hosts))
        .registerButton({"Kill popup", "Kill popup", "Vantrel", true});
}

// The extension written into `program` with `script` run after its background script, in the same
// background (a bench's measuring probe, which sees the script's top-level bindings), unpacked and
// packed.
inline void appendToBackground(const std::string& program, const std::string& script) {
    const std::string folder = vantrel::webext::extensionFolder(program);
    std::vector<vantrel::webext::ArchiveEntry> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::string name = std::filesystem::relative(entry.path(), folder).string();
        std::string data = readFile(entry.path().string());
        if (name == "background.js") {
            data += "\n" + script;
            std::ofstream(entry.path(), std::ios::binary) << data;
        }
        files.push_back({std::move(name), std::move(data)});
    }
    std::ofstream(vantrel::webext::extensionPackage(program), std::ios::binary)
        << vantrel::webext::zipArchive(files);
}

// Chromium with the extension written into `program` loaded, and its host named in `profile`.
inline std::unique_ptr<TestBrowser> startChromiumWithExtension(const std::string& program,
                                                               const TempDir& profile) {
    writeExtension(program, {{profile.path() + "profile/NativeMessagingHosts/",
                              vantrel::webext::BrowserFamily::Chromium}});
    return std::make_unique<TestBrowser>(
        profile, false,
        std::vector<std::string>{"--load-extension=" + vantrel::webext::extensionFolder(program)});
}

// Firefox with HOME and profile in `folder`, the extension written there installed from its
// packed file as a user does, and its host manifest under that HOME; hosts it starts find the
// watcher in `runtime`; `probe`, when given, runs after the background script. Nothing, with
// `error` telling why, when it did not come up so.
inline std::unique_ptr<firefox_test::FirefoxBrowser> startFirefoxWithExtension(
    const std::string& folder, const std::string& runtime, std::string& error,
    const std::string& probe = {}) {
    const std::string home = folder + "home/";
    std::filesystem::create_directories(home + ".mozilla");
    writeExtension(folder, vantrel::webext::hostFolders(folder + "config", home, ""));
    if (!probe.empty()) appendToBackground(folder, probe);
    auto firefox = std::make_unique<firefox_test::FirefoxBrowser>(
        firefox_test::FirefoxOptions{home, folder + "profile", {{"XDG_RUNTIME_DIR", runtime}}});
    if (!firefox->ready() || !firefox->installFromFile(vantrel::webext::extensionPackage(folder),
                                                       vantrel::webext::kFirefoxExtensionId)) {
        error = firefox->error();
        return nullptr;
    }
    return firefox;
}

}  // namespace chromium_test
