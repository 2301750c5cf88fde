#include "firefox_browser.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace firefox_test {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Generous: a first start on a loaded two-core machine takes several seconds.
constexpr Millis kStartLimit = 90s;
constexpr int kPageLoadMs = 60000;
constexpr Millis kCommandLimit = 90s;  // beyond Firefox's own page-load limit
constexpr Millis kPromptLimit = 30s;
constexpr Millis kQuitLimit = 20s;
constexpr Millis kGoneLimit = 5s;  // for killed processes to be gone

// Polls `done` until it holds or `limit` passes; for states only a question can tell.
bool eventually(const std::function<bool()>& done, Millis limit) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The profile's preferences. The user's own step, which Firefox ESR allows: extensions need no
// signature. The rest keeps a test browser quiet and on this machine: every request that is not
// for loopback goes to a proxy port that refuses it, every name resolves to loopback, and the
// first-run pages, updates, telemetry and background services stay off.
std::string userPrefs(int refusingPort) {
    const Json prefs = {
        {"xpinstall.signatures.required", false},
        {"marionette.port", 0},  // any free port, written to MarionetteActivePort
        {"network.proxy.type", 1},
        {"network.proxy.http", "127.0.0.1"},
        {"network.proxy.http_port", refusingPort},
        {"network.proxy.ssl", "127.0.0.1"},
        {"network.proxy.ssl_port", refusingPort},
        {"network.proxy.share_proxy_settings", true},
        {"network.proxy.no_proxies_on", "localhost, 127.0.0.0/8, .test"},
        {"network.proxy.allow_hijacking_localhost", false},
        {"network.proxy.failover_direct", false},
        {"network.dns.native-is-localhost", true},
        {"network.trr.mode", 5},
        {"network.prefetch-next", false},
        {"network.dns.disablePrefetch", true},
        {"network.http.speculative-parallel-limit", 0},
        {"network.http.http3.enable", false},
        {"network.captive-portal-service.enabled", false},
        {"network.connectivity-service.enabled", false},
        {"media.peerconnection.enabled", false},
        {"dom.push.connection.enabled", false},
        {"browser.shell.checkDefaultBrowser", false},
        {"browser.startup.homepage_override.mstone", "ignore"},
        {"browser.startup.page", 0},
        {"browser.aboutwelcome.enabled", false},
        {"browser.newtabpage.enabled", false},
        {"browser.safebrowsing.malware.enabled", false},
        {"browser.safebrowsing.phishing.enabled", false},
        {"browser.safebrowsing.downloads.enabled", false},
        {"datareporting.policy.dataSubmissionEnabled", false},
        {"datareporting.healthreport.uploadEnabled", false},
        {"toolkit.telemetry.reportingpolicy.firstRun", false},
        {"app.update.auto", false},
        {"app.update.checkInstallTime", false},
        {"extensions.update.enabled", false},
        {"extensions.getAddons.cache.enabled", false},
        {"extensions.systemAddon.update.enabled", false},
        // Page and extension clocks at full precision: the benches time below a millisecond.
        {"privacy.reduceTimerPrecision", false},
    };
    std::string text;
    for (const auto& [name, value] : prefs.items()) {
        text += "user_pref(" + Json(name).dump() + ", " + value.dump() + ");\n";
    }
    return text;
}

// A loopback port that is bound but not listening: a connection to it is refused at once, and
// no other program can take it while the socket is open.
int refusingPort(int& fd) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no loopback port for the proxy");
    }
    return ntohs(address.sin_port);
}

// This process's environment with HOME and the options' changes; the XDG folders follow HOME.
std::vector<std::string> environmentFor(const FirefoxOptions& options) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos)
            variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        variables.erase(name);
    variables["HOME"] = options.home;
    // A browser killed at a test's end must not start the next time in safe mode or report it.
    variables["MOZ_DISABLE_AUTO_SAFE_MODE"] = "1";
    variables["MOZ_CRASHREPORTER_DISABLE"] = "1";
    for (const auto& [name, value] : options.environment) {
        if (value.empty()) {
            variables.erase(name);
        } else {
            variables[name] = value;
        }
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : variables) result.push_back(name + "=" + value);
    return result;
}

pid_t spawnInOwnGroup(std::vector<std::string> words, std::vector<std::string> environment,
                      const std::string& output) {
    std::vector<char*> argv, envp;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    for (auto& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

// The front of the ids of what Firefox makes for an extension in its own windows.
std::string widgetId(const std::string& extensionId) {
    std::string widget;
    for (const char c : extensionId) {
        const auto lower = char(std::tolower(static_cast<unsigned char>(c)));
        widget +=
            std::isalnum(static_cast<unsigned char>(lower)) || c == '-' || c == '_' ? lower : '_';
    }
    return widget;
}

// The toolbar button Firefox makes for an extension's action.
std::string toolbarButtonId(const std::string& extensionId) {
    return widgetId(extensionId) + "-BAP";
}

// The reference in a WebDriver:FindElement answer, as WebDriver's commands take it.
Json elementId(const Json& found) {
    // The element's reference is the one value of the object, under WebDriver's fixed key.
    return found["value"].begin().value();
}

}  // namespace

// --- Marionette ---------------------------------------------------------------------------

Marionette::Marionette(int port, Millis limit) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot connect to Marionette on port " + std::to_string(port));
    }
    const Json greeting = readPacket(Clock::now() + limit);
    if (!greeting.contains("marionetteProtocol")) {
        throw std::runtime_error("not a Marionette greeting: " + greeting.dump());
    }
}

Marionette::~Marionette() {
    if (fd_ >= 0) ::close(fd_);
}

Json Marionette::readPacket(Clock::time_point deadline) {
    for (;;) {
        const auto colon = buffer_.find(':');
        if (colon != std::string::npos) {
            const std::size_t length = std::stoul(buffer_.substr(0, colon));
            if (buffer_.size() >= colon + 1 + length) {
                const Json packet = Json::parse(buffer_.substr(colon + 1, length));
                buffer_.erase(0, colon + 1 + length);
                return packet;
            }
        }
        const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
        pollfd ready{fd_, POLLIN, 0};
        if (left <= 0 || ::poll(&ready, 1, int(left)) <= 0) {
            throw std::runtime_error("no answer from Marionette in time");
        }
        char chunk[65536];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n <= 0) throw std::runtime_error("Marionette closed the connection");
        buffer_.append(chunk, std::size_t(n));
    }
}

Json Marionette::call(const std::string& command, const Json& params, Millis limit) {
    const int id = ++lastId_;
    const std::string body = Json::array({0, id, command, params}).dump();
    const std::string packet = std::to_string(body.size()) + ":" + body;
    if (::send(fd_, packet.data(), packet.size(), MSG_NOSIGNAL) != ssize_t(packet.size())) {
        throw std::runtime_error("cannot send " + command);
    }
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const Json answer = readPacket(deadline);
        if (!answer.is_array() || answer.size() != 4 || answer[1] != id) continue;
        if (!answer[2].is_null()) {
            throw std::runtime_error(command + ": " + answer[2].value("error", "") + ": " +
                                     answer[2].value("message", ""));
        }
        return answer[3];
    }
}

// --- FirefoxBrowser -----------------------------------------------------------------------

bool FirefoxBrowser::installed() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (::access((folder + "/firefox-esr").c_str(), X_OK) == 0) return true;
    }
    return false;
}

FirefoxBrowser::FirefoxBrowser(FirefoxOptions options) : options_(std::move(options)) {
    std::filesystem::create_directories(options_.profile);
    std::ofstream(options_.profile + "/user.js") << userPrefs(refusingPort(refusingSocket_));
    start();
}

FirefoxBrowser::~FirefoxBrowser() {
    stop();
    if (refusingSocket_ >= 0) ::close(refusingSocket_);
}

void FirefoxBrowser::restart() {
    stop();
    start();
}

void FirefoxBrowser::start() {
    error_.clear();
    const std::string portFile = options_.profile + "/MarionetteActivePort";
    std::filesystem::remove(portFile);
    const auto began = Clock::now();
    // System access: the tests press the browser's own buttons, as a user does.
    pid_ = spawnInOwnGroup({"firefox-esr", "--new-instance", "--profile", options_.profile,
                            "--marionette", "--remote-allow-system-access", "about:blank"},
                           environmentFor(options_), options_.profile + "/firefox-output.log");
    if (pid_ <= 0) {
        error_ = "firefox-esr cannot be started";
        return;
    }
    bool exited = false;
    const bool listening = eventually(
        [&] {
            exited = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
            return exited || readFile(portFile).find_first_of("0123456789") != std::string::npos;
        },
        kStartLimit);
    if (exited) pid_ = -1;
    if (!listening || exited) {
        error_ = exited ? "firefox-esr ended at its start" : "Marionette never listened";
        error_ += "; its output: " + readFile(options_.profile + "/firefox-output.log");
        stop();
        return;
    }
    try {
        marionette_ = std::make_unique<Marionette>(std::stoi(readFile(portFile)), kCommandLimit);
        const Json session = call("WebDriver:NewSession", {{"capabilities", Json::object()}});
        version_ = session["capabilities"].value("browserVersion", "");
        call("WebDriver:SetTimeouts", {{"pageLoad", kPageLoadMs}, {"script", 30000}});
    } catch (const std::exception& e) {
        error_ = e.what();
        stop();
        return;
    }
    startupTime_ = std::chrono::duration_cast<Millis>(Clock::now() - began);
}

void FirefoxBrowser::stop() {
    if (marionette_) {
        try {
            marionette_->call("Marionette:Quit", {{"flags", {"eAttemptQuit"}}}, kQuitLimit);
        } catch (const std::exception&) {
            // Killed below.
        }
        marionette_.reset();
    }
    if (pid_ <= 0) return;
    eventually([&] { return ::waitpid(pid_, nullptr, WNOHANG) == pid_; }, kQuitLimit);
    // The content processes and the hosts the browser started are in its group.
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    eventually([&] { return ::kill(-pid_, 0) != 0 && errno == ESRCH; }, kGoneLimit);
    pid_ = -1;
}

Json FirefoxBrowser::call(const std::string& command, const Json& params) {
    if (!marionette_) throw std::runtime_error("the browser is not running: " + error_);
    return marionette_->call(command, params, kCommandLimit);
}

Json FirefoxBrowser::inChrome(const std::string& command, const Json& params) {
    call("Marionette:SetContext", {{"value", "chrome"}});
    try {
        Json result = call(command, params);
        call("Marionette:SetContext", {{"value", "content"}});
        return result;
    } catch (...) {
        call("Marionette:SetContext", {{"value", "content"}});
        throw;
    }
}

Json FirefoxBrowser::chromeScript(const std::string& script, const Json& args) {
    return inChrome("WebDriver:ExecuteScript", {{"script", script}, {"args", args}})["value"];
}

bool FirefoxBrowser::installFromFile(const std::string& path, const std::string& id) {
    chromeScript("gURLBar.value = arguments[0]; gURLBar.handleCommand();", {"file://" + path});
    // The prompt "Add Vantrel?" with its permissions, or Firefox's refusal.
    Json outcome;
    eventually(
        [&] {
            outcome = chromeScript(R"(
                const refused = document.getElementById("addon-install-failed-notification");
                if (refused && !refused.hidden) return refused.getAttribute("label");
                const prompt = document.getElementById("addon-webext-permissions-notification");
                if (!prompt || prompt.hidden) return null;
                prompt.button.click();
                return true;)");
            return !outcome.is_null();
        },
        kPromptLimit);
    if (outcome.is_string()) error_ = outcome.get<std::string>();
    if (outcome != true) {
        if (error_.empty()) error_ = "Firefox never asked to add the extension";
        return false;
    }
    if (!eventually([&] { return addon(id).value_or(Addon{}).active; }, kPromptLimit)) {
        error_ = "the extension was added but is not active";
        return false;
    }
    return true;
}

std::optional<Addon> FirefoxBrowser::addon(const std::string& id) {
    const Json found = inChrome("WebDriver:ExecuteAsyncScript", {{"script", R"(
        const [id, resolve] = arguments;
        const { AddonManager } =
            ChromeUtils.importESModule("resource://gre/modules/AddonManager.sys.mjs");
        AddonManager.getAddonByID(id).then(
            (a) => resolve(a && { active: a.isActive, temporary: a.temporarilyInstalled,
                                  inProfile: a.scope === AddonManager.SCOPE_PROFILE,
                                  name: a.name, version: a.version }),
            () => resolve(null));)"},
                                                                 {"args", {id}}})["value"];
    if (!found.is_object()) return std::nullopt;
    return Addon{found.value("active", false), found.value("temporary", false),
                 found.value("inProfile", false), found.value("name", ""),
                 found.value("version", "")};
}

std::string FirefoxBrowser::toolbarButton(const std::string& extensionId) {
    const Json title = chromeScript(R"(
        const button = document.getElementById(arguments[0]);
        return button && button.closest("#nav-bar") ? button.getAttribute("label") : "";)",
                                    {toolbarButtonId(extensionId)});
    return title.is_string() ? title.get<std::string>() : std::string();
}

bool FirefoxBrowser::pressToolbarButton(const std::string& extensionId) {
    return chromeScript(R"(
        const button = document.getElementById(arguments[0]);
        if (!button) return false;
        button.click();
        return true;)",
                        {toolbarButtonId(extensionId)}) == true;
}

void FirefoxBrowser::navigate(const std::string& url) {
    call("WebDriver:Navigate", {{"url", url}});
}

Json FirefoxBrowser::evaluate(const std::string& script) {
    return call("WebDriver:ExecuteScript", {{"script", script}, {"args", Json::array()}})["value"];
}

void FirefoxBrowser::click(const std::string& selector) {
    const Json element =
        call("WebDriver:FindElement", {{"using", "css selector"}, {"value", selector}});
    call("WebDriver:ElementClick", {{"id", elementId(element)}});
}

void FirefoxBrowser::clickInFrame(const std::string& frameSelector, const std::string& selector) {
    const Json frame =
        call("WebDriver:FindElement", {{"using", "css selector"}, {"value", frameSelector}});
    call("WebDriver:SwitchToFrame", {{"element", elementId(frame)}});
    try {
        click(selector);
    } catch (...) {
        call("WebDriver:SwitchToParentFrame");
        throw;
    }
    call("WebDriver:SwitchToParentFrame");
}

ScreenPoint FirefoxBrowser::onScreen(const std::string& selector) {
    const Json centre = call("WebDriver:ExecuteScript", {{"script", R"(
        const box = document.querySelector(arguments[0]).getBoundingClientRect();
        return [Math.round(mozInnerScreenX + box.left + box.width / 2),
                Math.round(mozInnerScreenY + box.top + box.height / 2)];)"},
                                                         {"args", {selector}}})["value"];
    return {centre[0].get<int>(), centre[1].get<int>()};
}

std::optional<ScreenPoint> FirefoxBrowser::contextMenuItem(const std::string& extensionId,
                                                           const std::string& label) {
    const Json centre = chromeScript(R"(
        const [ownIds, label] = arguments;
        const menu = document.getElementById("contentAreaContextMenu");
        if (menu.state !== "open") return null;
        const item = [...menu.children].find(
            (i) => i.id.startsWith(ownIds) && i.label === label && !i.hidden && !i.disabled);
        if (!item) return null;
        const box = item.getBoundingClientRect();
        return [Math.round(item.screenX + box.width / 2), Math.round(item.screenY + box.height / 2)];)",
                                     {widgetId(extensionId) + "-menuitem-", label});
    if (!centre.is_array()) return std::nullopt;
    return ScreenPoint{centre[0].get<int>(), centre[1].get<int>()};
}

std::vector<BrowserWindow> FirefoxBrowser::windows() {
    const Json found = chromeScript(R"(
        return [...Services.wm.getEnumerator("navigator:browser")].map((w) => ({
            popup: !w.toolbar.visible,
            tabs: w.gBrowser.tabs.map((t) => {
                const uri = t.linkedBrowser.currentURI;
                return uri.prePath + uri.pathQueryRef;
            }),
        }));)");
    std::vector<BrowserWindow> windows;
    for (const Json& window : found) {
        windows.push_back(
            {window.value("popup", false), window.value("tabs", std::vector<std::string>{})});
    }
    return windows;
}

}  // namespace firefox_test
