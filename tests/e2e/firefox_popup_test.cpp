// Firefox ESR watched through the extension: a page's window.open asks Vantrel before Firefox
// makes the window, so a pop-up Vantrel closes is never made at all, while windows the lists
// allow open as before and their opener keeps them.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "extension_setup.h"
#include "tests/adapters/scoped_env.h"
#include "watch_process.h"
#include "x_desktop.h"

using namespace chromium_test;
using firefox_test::FirefoxBrowser;

namespace {

// A button per window the page opens; `opened[id]` tells what window.open gave the page: "null"
// or "window" (and then the window itself in `windows[id]`).
std::string opener(const std::vector<std::pair<std::string, std::string>>& buttons) {
    std::string page =
        "<script>window.opened = {}; window.windows = {};\n"
        "window.openFor = (id, url, features) => {\n"
        "  const w = window.open(url, '_blank', features);\n"
        "  opened[id] = w === null ? 'null' : 'window';\n"
        "  windows[id] = w;\n"
        "};</script>";
    for (const auto& [id, call] : buttons) {
        page += "<button id=" + id +
                " style='display:block;width:200px;height:30px' onclick=\"openFor('" + id + "', " +
                call + ")\">" + id + "</button>";
    }
    return page;
}

class FirefoxPopups : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!FirefoxBrowser::installed()) GTEST_SKIP() << "firefox-esr is not installed";
        ASSERT_TRUE(desktop.ready());
        ASSERT_TRUE(startExtensionWatch(dir.path(), server.url("127.0.0.1", ""), watch))
            << watch->err;
        std::string error;
        firefox = startFirefoxWithExtension(dir.path(), runtime.path(), error);
        ASSERT_TRUE(firefox) << error;
        ASSERT_TRUE(watch->waitFor(
            [&] { return watch->err.find("through the extension: firefox") != std::string::npos; },
            std::chrono::seconds(30)))
            << watch->err;
    }
    void TearDown() override {
        if (desktop.ready()) XDesktop::run({"xdotool", "keyup", "ctrl"});
    }

    std::string openedBy(const std::string& id) {
        Json value;
        eventually([&] {
            value = firefox->evaluate("return opened['" + id + "'] || null;");
            return !value.is_null();
        });
        return value.is_string() ? value.get<std::string>() : "never clicked";
    }
    std::string loggedAddress(size_t row) {
        const std::string line = watch->rows().at(row);
        return line.substr(line.find('\t') + 1);
    }

    XDesktop desktop;
    TempDir dir;
    PrivateRuntime runtime{dir.path()};
    HttpServer server;
    std::unique_ptr<WatchProcess> watch;
    std::unique_ptr<FirefoxBrowser> firefox;
};

TEST_F(FirefoxPopups, APopUpIsRefusedBeforeItIsMadeWhileAllowedWindowsOpenForTheirOpener) {
    const std::string popup = server.url("other.test", "/window");
    const std::string login = server.url("friend.test", "/login");
    const std::string sized = "'width=300,height=200'";
    server.page("/", opener({{"pop", "'" + popup + "', " + sized},
                             {"login", "'" + login + "', " + sized}}));
    server.page("/front", opener({{"pop", "'" + popup + "', " + sized},
                                  {"full", "'" + popup + "?full', ''"}}));
    server.page("/window", "a pop-up");
    server.page("/login", "<script>window.opener.postMessage('signed in', '*');</script>");

    // A pop-up from a site not on the list: never made, logged with its address.
    firefox->navigate(server.url("127.0.0.1", "/"));
    firefox->click("#pop");
    EXPECT_EQ(openedBy("pop"), "null");
    ASSERT_TRUE(watch->waitForRows(1)) << watch->err;
    EXPECT_EQ(loggedAddress(0), popup);
    EXPECT_FALSE(server.requested("/window"));
    EXPECT_EQ(firefox->windows().size(), 1u);

    // A log-in window on an allowed site: made, its opener holds it and hears from it.
    firefox->evaluate("window.heard = []; addEventListener('message', (e) => heard.push(e.data));");
    firefox->click("#login");
    EXPECT_EQ(openedBy("login"), "window");
    EXPECT_TRUE(eventually([&] {
        return firefox->evaluate("return heard.join();") == "signed in";
    })) << watch->err;
    EXPECT_EQ(firefox->evaluate("return windows.login.closed;"), false);
    EXPECT_EQ(watch->rows().size(), 1u) << watch->out;
    firefox->evaluate("windows.login.close();");
    ASSERT_TRUE(eventually([&] { return firefox->windows().size() == 1; }));

    // Held CTRL lets the pop-up be made.
    XDesktop::run({"xdotool", "keydown", "ctrl"});
    firefox->evaluate("delete opened.pop;");
    firefox->click("#pop");
    EXPECT_EQ(openedBy("pop"), "window");
    EXPECT_TRUE(eventually([&] { return server.requested("/window"); }));
    // Gone before CTRL is let go, so that no sweep after it closes the pop-up.
    watch->drain(std::chrono::milliseconds(500));
    firefox->evaluate("windows.pop.close();");
    ASSERT_TRUE(eventually([&] { return firefox->windows().size() == 1; }));
    watch->drain(std::chrono::milliseconds(500));
    XDesktop::run({"xdotool", "keyup", "ctrl"});

    // From a page of an allowed site, a pop-up is made for its opener, and a full window stays.
    firefox->navigate(server.url("friend.test", "/front"));
    firefox->click("#pop");
    EXPECT_EQ(openedBy("pop"), "window");
    firefox->click("#full");
    EXPECT_EQ(openedBy("full"), "window");
    EXPECT_TRUE(eventually([&] { return server.requested("/window?full"); }));
    watch->drain(std::chrono::milliseconds(2500));  // past the delayed sweep
    bool fullStays = false;
    for (const auto& window : firefox->windows()) {
        for (const auto& tab : window.tabs) fullStays |= !window.popup && tab == popup + "?full";
    }
    EXPECT_TRUE(fullStays);
    for (const auto& row : watch->rows()) EXPECT_EQ(row.find("?full"), std::string::npos) << row;
}

// A frame of another site asks as its page does. A blank frame the page has just made has had
// no answer yet as to which tab it is in, so its window is made and closed as it opens.
TEST_F(FirefoxPopups, APopUpFromAFrameIsRefusedAndOneFromABlankFrameMadeThisMomentIsClosed) {
    const std::string popup = server.url("other.test", "/window");
    const std::string open = "window.open('" + popup + "', '_blank', 'width=300,height=200')";
    server.page("/", "<iframe id=f src='" + server.url("third.test", "/framed") +
                         "'></iframe><button id=blank style='display:block;width:200px;"
                         "height:30px' onclick=\"const f = document.createElement('iframe');"
                         "document.body.append(f); window.fromBlank = String(f.contentWindow." +
                         open + ");\">blank</button>");
    server.page("/framed", "<button id=pop style='width:200px;height:30px' onclick=\"window."
                           "fromFrame = String(" + open + ");\">pop</button>");
    server.page("/window", "a pop-up");
    firefox->navigate(server.url("127.0.0.1", "/"));

    firefox->clickInFrame("#f", "#pop");
    ASSERT_TRUE(watch->waitForRows(1)) << watch->err;
    EXPECT_EQ(loggedAddress(0), popup);
    EXPECT_FALSE(server.requested("/window"));
    EXPECT_EQ(firefox->windows().size(), 1u);

    firefox->click("#blank");
    ASSERT_TRUE(watch->waitForRows(2)) << watch->err;
    EXPECT_EQ(loggedAddress(1), popup);
    EXPECT_EQ(firefox->evaluate("return window.fromBlank;"), "[object Window]");
    EXPECT_TRUE(eventually([&] { return firefox->windows().size() == 1; }));
}

}  // namespace
