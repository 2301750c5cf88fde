#include "platform/webext/browser_extension.h"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

#include "common/error.h"
#include "platform/page/page_script.h"
#include "platform/webext/zip_archive.h"
#include "resources/embedded_resources.h"

namespace vantrel::webext {

namespace {

using Json = nlohmann::ordered_json;

// The public half of the extension's key; Chromium derives kChromiumExtensionId from it.
constexpr const char* kPublicKey =
    "MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEAxJ+Q8aMYao0vEv5KvujgzWLs2Wj6U7i5tCT979f6qeMds3L2"
    "p430oeROoX720cXa/cdi3hPWYx8O1073Z5b7ksGypXRfoDU1dXU+CWRcyqNoNSBmVgj1LFrmKYjBGBCA254Z3cFt4sAj"
    "B7g9hBOk1zDX6kJcs0d0l20Qa+eF3EXhwsnyxj5q+E+Igmt1RMo45tiCCPsn8n4TP6KCOFFuBYMCyhNcjEhNrQaGofX5"
    "7/UWMBUtZdoYevXDtA8cxS73z70mJVfFrmMcmxPtPCPFDwyT5dYSOiUcgrIygK/Q22ACxOlXCngjuWYZPZKHzHX0dtjT"
    "TikV9o5eXiNohV1ZiwIDAQAB";

struct Icon {
    const char* size;
    const char* resource;
};
constexpr Icon kIcons[] = {
    {"16", "EXT_ICON_16"}, {"32", "EXT_ICON_32"}, {"48", "EXT_ICON_48"}, {"128", "EXT_ICON_128"}};

std::string iconPath(const char* size) {
    return std::string("icons/") + size + ".png";
}

Json iconSet() {
    Json icons = Json::object();
    for (const Icon& icon : kIcons) icons[icon.size] = iconPath(icon.size);
    return icons;
}

void makeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw Error("Cannot create the folder " + folder + ": " + error.message());
}

bool isFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

}  // namespace

std::string extensionFolder(const std::string& programFolder) {
    return programFolder + "browser-extension/";
}

std::string extensionPackage(const std::string& programFolder) {
    return programFolder + "browser-extension.xpi";
}

std::vector<HostFolder> hostFolders(const std::string& configHome, const std::string& home,
                                    const std::string& startedProfile) {
    std::vector<HostFolder> folders;
    for (const char* browser : {"chromium", "google-chrome", "BraveSoftware/Brave-Browser"}) {
        const std::string config = configHome + "/" + browser;
        if (isFolder(config))
            folders.push_back({config + "/NativeMessagingHosts/", BrowserFamily::Chromium});
    }
    if (!startedProfile.empty()) {
        const std::string folder = startedProfile + "/NativeMessagingHosts/";
        bool listed = false;
        for (const HostFolder& known : folders) listed = listed || known.path == folder;
        if (!listed) folders.push_back({folder, BrowserFamily::Chromium});
    }
    // Firefox keeps new users' profiles under the XDG folder but reads host manifests only
    // from the home's ".mozilla".
    if (isFolder(home + "/.mozilla") || isFolder(configHome + "/mozilla")) {
        folders.push_back({home + "/.mozilla/native-messaging-hosts/", BrowserFamily::Firefox});
    }
    return folders;
}

HostCaller hostCaller(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return HostCaller::None;
    const std::string& first = arguments[0];
    if (first.starts_with("chrome-extension://")) {
        return first == std::string("chrome-extension://") + kChromiumExtensionId + "/"
                   ? HostCaller::Vantrel
                   : HostCaller::Foreign;
    }
    if (arguments.size() == 2 && first.starts_with("/") && first.ends_with(".json")) {
        return arguments[1] == kFirefoxExtensionId ? HostCaller::Vantrel : HostCaller::Foreign;
    }
    return HostCaller::None;
}

namespace {

// Where Firefox's window.open guard asks, and the file its answer "refused" comes from; the
// background script answers the request itself, so it never leaves the browser.
constexpr const char* kOpenQuestionUrl = "http://window-open.vantrel.invalid/";
constexpr const char* kRefusedFile = "refused.txt";
constexpr const char* kRefusedAnswer = "refused";

std::string constant(const char* name, const Json& value) {
    return std::string("const ") + name + " = " + value.dump() + ";\n";
}

}  // namespace

std::string extensionManifest(const ToolbarButton& button) {
    Json action = {{"default_title", button.buttonText}, {"default_icon", iconSet()}};
    // Firefox places the button in the toolbar itself; Chromium leaves pinning to the user.
    if (button.defaultVisible) action["default_area"] = "navbar";
    const Json manifest = {
        {"manifest_version", 3},
        {"name", "Vantrel"},
        {"description", button.statusBarText},
        {"version", "1.0"},
        {"key", kPublicKey},
        {"icons", iconSet()},
        {"action", action},
        // Chromium runs the service worker, which loads the page scripts itself; Firefox the
        // background scripts.
        {"background",
         {{"service_worker", "background.js"}, {"scripts", {"page_scripts.js", "background.js"}}}},
        // Firefox holds document requests for the verdict (webRequestBlocking); Chromium
        // browsers give ordinary extensions no blocking listener and ignore it, and stop them
        // by the rules made from the lists (declarativeNetRequest).
        {"permissions",
         {"nativeMessaging", "contextMenus", "tabs", "webNavigation", "scripting", "webRequest",
          "webRequestBlocking", "declarativeNetRequest"}},
        {"host_permissions", {"<all_urls>"}},
        // Before any script of the page.
        {"content_scripts",
         {{{"matches", {"<all_urls>"}},
           {"js", {"open_guard.js"}},
           {"run_at", "document_start"},
           {"all_frames", true},
           {"match_about_blank", true}}}},
        // The guard's answer, which its page's request is sent to. Firefox names the extension
        // by a random id of each profile; Chromium, whose id is fixed, keeps the file to a
        // dynamic address, so pages cannot tell Vantrel is installed.
        {"web_accessible_resources",
         {{{"resources", {kRefusedFile}}, {"matches", {"<all_urls>"}}, {"use_dynamic_url", true}}}},
        {"browser_specific_settings",
         {{"gecko", {{"id", kFirefoxExtensionId}, {"strict_min_version", "121.0"}}}}},
    };
    return manifest.dump(2) + "\n";
}

std::string backgroundScript(const ToolbarButton& button) {
    return "// Written by Vantrel: the program's values, then the script.\n" +
           constant("HOST", kHostName) + constant("MENU_ID", "vantrel-button") +
           constant("MENU_TITLE", button.menuText) +
           constant("ENGINE_SRC_ATTRIBUTE", page::kEngineSrcAttribute) +
           constant("BODY_MARKUP_CAP", page::kBodyMarkupCap) +
           constant("OPEN_QUESTION", kOpenQuestionUrl) + constant("REFUSED_FILE", kRefusedFile) +
           "\n" + std::string(embeddedResource("EXT_BACKGROUND").value_or(""));
}

std::string openGuardScript() {
    return "// Written by Vantrel: the program's values, then the script.\n" +
           constant("OPEN_QUESTION", kOpenQuestionUrl) +
           constant("REFUSED_ANSWER", kRefusedAnswer) + "\n" +
           std::string(embeddedResource("EXT_OPEN_GUARD").value_or(""));
}

std::string hostManifest(const std::string& executable, BrowserFamily family) {
    Json manifest = {
        {"name", kHostName}, {"description", "Vantrel"}, {"path", executable}, {"type", "stdio"}};
    if (family == BrowserFamily::Chromium) {
        manifest["allowed_origins"] = {std::string("chrome-extension://") + kChromiumExtensionId +
                                       "/"};
    } else {
        manifest["allowed_extensions"] = {kFirefoxExtensionId};
    }
    return manifest.dump(2) + "\n";
}

BrowserExtension::BrowserExtension(FileSystem& files, const std::string& programFolder,
                                   std::string executable, std::vector<HostFolder> hostFolders)
    : files_(files),
      folder_(extensionFolder(programFolder)),
      package_(extensionPackage(programFolder)),
      executable_(std::move(executable)),
      hostFolders_(std::move(hostFolders)) {}

void BrowserExtension::registerButton(const ToolbarButton& button) {
    std::vector<ArchiveEntry> extension;
    for (const Icon& icon : kIcons) {
        extension.push_back(
            {iconPath(icon.size), std::string(embeddedResource(icon.resource).value_or(""))});
    }
    extension.push_back({"page_scripts.js", std::string(page::pageScriptsSource())});
    extension.push_back({"background.js", backgroundScript(button)});
    extension.push_back({"open_guard.js", openGuardScript()});
    extension.push_back({kRefusedFile, kRefusedAnswer});
    extension.push_back({"manifest.json", extensionManifest(button)});
    makeFolder(folder_ + "icons/");
    for (const ArchiveEntry& file : extension) {
        replaceFileContents(files_, folder_ + file.name, file.data);
    }
    // Firefox keeps an extension across restarts only when it is installed from a packed file.
    replaceFileContents(files_, package_, zipArchive(extension));
    for (const HostFolder& hosts : hostFolders_) {
        makeFolder(hosts.path);
        replaceFileContents(files_, hosts.path + kHostName + ".json",
                            hostManifest(executable_, hosts.family));
    }
}

}  // namespace vantrel::webext
