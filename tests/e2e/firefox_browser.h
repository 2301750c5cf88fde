#pragma once

// Debian's firefox-esr as a test's own browser on the X display in DISPLAY: a fresh profile that
// reaches nothing but loopback, a HOME of the test's choosing (Firefox looks for native-messaging
// hosts under it), and control through Marionette, the protocol Firefox offers for tests: pages,
// clicks, scripts, windows, and its own user interface (chrome) for what a user does there.

#include <chrono>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace firefox_test {

using Json = nlohmann::json;
using Millis = std::chrono::milliseconds;

// One Marionette connection: "LENGTH:JSON" packets on TCP; commands [0, id, name, params],
// answers [1, id, error, result]. Every wait is bounded.
class Marionette {
  public:
    // Connects to 127.0.0.1:`port` and reads the server's greeting; throws when it cannot.
    explicit Marionette(int port, Millis limit);
    ~Marionette();
    Marionette(const Marionette&) = delete;
    Marionette& operator=(const Marionette&) = delete;

    // The command's result; throws std::runtime_error with Firefox's message on an error or
    // when no answer comes within `limit`.
    Json call(const std::string& command, const Json& params, Millis limit);

  private:
    Json readPacket(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    std::string buffer_;
    int lastId_ = 0;
};

struct FirefoxOptions {
    std::string home;     // HOME of the browser and of the hosts it starts
    std::string profile;  // a folder for the profile, made when missing
    // Set (or, when empty, removed) in the browser's environment, which its hosts inherit.
    std::map<std::string, std::string> environment;
};

// A top-level browser window and the addresses of its tabs.
struct BrowserWindow {
    bool popup = false;  // a window without a toolbar, as window.open with features gives
    std::vector<std::string> tabs;
};

// A point on the X screen.
struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// What the add-on manager says of an installed extension.
struct Addon {
    bool active = false;     // installed and enabled
    bool temporary = false;  // loaded for this run only
    bool inProfile = false;  // installed into the profile (not system-wide, not built in)
    std::string name;
    std::string version;
};

class FirefoxBrowser {
  public:
    static bool installed();

    // Starts the browser; `ready()` tells whether it came up under control.
    explicit FirefoxBrowser(FirefoxOptions options);
    ~FirefoxBrowser();
    FirefoxBrowser(const FirefoxBrowser&) = delete;
    FirefoxBrowser& operator=(const FirefoxBrowser&) = delete;

    bool ready() const { return marionette_ != nullptr; }
    // Why it is not ready.
    const std::string& error() const { return error_; }
    // From the start of the process to a Marionette session.
    Millis startupTime() const { return startupTime_; }
    std::string version() const { return version_; }

    // Quits the browser and starts it again on the same profile.
    void restart();

    // Installs a packed extension as a user does: its file:// address typed into the address
    // bar, then "Add" pressed in the prompt that asks for its permissions. Waits until the
    // add-on manager lists it; false with `error()` telling why when it does not.
    bool installFromFile(const std::string& path, const std::string& id);
    // Nothing when no extension of that id is installed.
    std::optional<Addon> addon(const std::string& id);
    // The title of the extension's button in the toolbar of the window in front; empty when
    // the button is not in the toolbar.
    std::string toolbarButton(const std::string& extensionId);
    // Clicks the extension's button, as the user does, in the window in front; false when it
    // has none.
    bool pressToolbarButton(const std::string& extensionId);

    // The tab in front loads `url`; returns once its document has loaded.
    void navigate(const std::string& url);
    // Runs `script` (a function body; `return` gives the value) in the page in front.
    Json evaluate(const std::string& script);
    // Clicks the first element matching the CSS `selector` in the page in front, as a pointer.
    void click(const std::string& selector);
    // The same in the document of the frame element matching `frameSelector`.
    void clickInFrame(const std::string& frameSelector, const std::string& selector);
    std::vector<BrowserWindow> windows();
    // The centre of the first element matching the CSS `selector` in the page in front, on the
    // screen.
    ScreenPoint onScreen(const std::string& selector);
    // The centre on the screen of the item labelled `label` that the extension put in the
    // page's context menu; nothing while that menu is not open or does not show the item.
    std::optional<ScreenPoint> contextMenuItem(const std::string& extensionId,
                                               const std::string& label);

  private:
    void start();
    void stop();
    Json call(const std::string& command, const Json& params = Json::object());
    Json inChrome(const std::string& command, const Json& params);
    Json chromeScript(const std::string& script, const Json& args = Json::array());

    FirefoxOptions options_;
    int refusingSocket_ = -1;  // a bound port that refuses connections: the profile's proxy
    pid_t pid_ = -1;           // also the process group of the browser's processes
    std::unique_ptr<Marionette> marionette_;
    std::string error_;
    std::string version_;
    Millis startupTime_{0};
};

}  // namespace firefox_test
