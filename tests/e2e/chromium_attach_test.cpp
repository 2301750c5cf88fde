// Attaching to a browser that runs already, over its DevTools WebSocket.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "chromium_test_engine.h"
#include "chromium_test_support.h"
#include "platform/chromium/websocket_transport.h"
#include "test_browser.h"

using namespace chromium_test;
using vantrel::BrowserError;
using vantrel::chromium::ChromiumOptions;
using vantrel::chromium::ChromiumProcess;
using vantrel::chromium::ChromiumShell;
using namespace std::chrono_literals;

namespace {

// Waits (bounded) for the browser to write its DevToolsActivePort file.
std::string activePortFile(const TempDir& dir) {
    const std::string path = dir.path() + "profile/DevToolsActivePort";
    for (int i = 0; i < 200; ++i) {
        std::ifstream file(path);
        std::string port, browserPath;
        if (std::getline(file, port) && std::getline(file, browserPath)) return path;
        std::this_thread::sleep_for(50ms);
    }
    return {};
}

TEST(ChromiumAttach, SeesAndCancelsThroughEveryEndpointForm) {
    TempDir dir;
    HttpServer server;
    server.page("/", "<a id=ad href='/ads/x' style='display:block;height:40px'>x</a>");
    auto running = browserOptions(dir, true);
    running.launch.extraArguments.push_back("--remote-debugging-port=0");
    ChromiumProcess browser(running.launch);
    const std::string portFile = activePortFile(dir);
    ASSERT_FALSE(portFile.empty());
    std::ifstream file(portFile);
    std::string port, path;
    std::getline(file, port);
    std::getline(file, path);

    int round = 0;
    for (const std::string& endpoint :
         {"127.0.0.1:" + port, portFile, "ws://127.0.0.1:" + port + path}) {
        SCOPED_TRACE(endpoint);
        vantrel::posix::StdEventLoop loop;
        ChromiumOptions options;
        options.attach = endpoint;
        ChromiumShell shell(loop, options);
        TestEngine engine(shell);
        engine.connect();
        EXPECT_EQ(engine.count(), 1);
        EXPECT_EQ(shell.browserPid(), browser.pid());
        PageDriver driver(shell.connection(),
                          endpoint == "127.0.0.1:" + port ? "about:blank" : "site.test");
        // A fresh address each round: the page already loaded reports its load again.
        const std::string url = server.url("site.test", "/?round=" + std::to_string(++round));
        shell.connection().send("Page.navigate", {{"url", url}}, driver.sessionId());
        ASSERT_TRUE(runUntil(loop, [&] {
            return std::find(engine.completed.begin(), engine.completed.end(), url) !=
                   engine.completed.end();
        }));
        driver.click("#ad");
        ASSERT_TRUE(runUntil(loop, [&] { return engine.cancelled.size() == 1; }));
        shell.close();
    }
    EXPECT_FALSE(server.requested("/ads/x"));
}

TEST(ChromiumAttach, WindowsOpenBeforeTheConnectionComeOldestFirstAndPopUpsShowNoBars) {
    TempDir dir;
    HttpServer server;
    const auto button = [&](const std::string& id, const std::string& path,
                            const std::string& features) {
        return "<button id=" + id + " style='display:block;width:200px;height:30px' " +
               "onclick=\"window.open('" + server.url(id + ".test", path) + "', '" + id + "', '" +
               features + "')\">" + id + "</button>";
    };
    server.page("/", button("pop", "/p", "width=300,height=300") + button("tab", "/t", "") +
                         button("pop2", "/p", "popup") + button("tab2", "/t", ""));
    server.page("/p", "pop-up");
    server.page("/t", "tab");
    TestBrowser browser(dir, true);
    ASSERT_FALSE(browser.portFile().empty());
    PageDriver first(browser.connection(), "about:blank");
    const std::string site = server.url("site.test", "/");
    browser.connection().call("Page.navigate", {{"url", site}}, first.sessionId());
    ASSERT_TRUE(eventually([&] { return showsLoaded(first, site); }));
    // Each opened and loaded before the next; the pop-ups' pages from another site, so that
    // nothing the opening set survives in the page.
    std::vector<std::string> opened{site};
    for (const std::string id : {"pop", "tab", "pop2", "tab2"}) {
        first.click("#" + id);
        opened.push_back(server.url(id + ".test", id.rfind("pop", 0) == 0 ? "/p" : "/t"));
        ASSERT_TRUE(eventually([&] {
            try {
                PageDriver page(browser.connection(), opened.back());
                return showsLoaded(page, opened.back());
            } catch (const BrowserError&) {
                return false;
            }
        })) << opened.back();
    }

    for (int connection = 0; connection < 2; ++connection) {
        vantrel::posix::StdEventLoop loop;
        ChromiumOptions options;
        options.attach = browser.portFile();
        ChromiumShell shell(loop, options);
        auto windows = shell.createWindows();
        ASSERT_EQ(windows->Count(), 5);
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(opened[size_t(i)]);
            auto w = windows->Item(i);
            EXPECT_EQ(w->LocationURL(), opened[size_t(i)]);
            const bool popUp = i == 1 || i == 3;
            EXPECT_EQ(w->ToolBar(), popUp ? 0 : 1);
            EXPECT_EQ(w->MenuBar(), !popUp);
        }
        shell.close();
    }
}

TEST(ChromiumAttach, UnusableEndpointsFailWithBrowserError) {
    TempDir dir;
    HttpServer server;  // answers 404 to /json/version
    std::ofstream(dir.path() + "garbage") << "not a port\n";
    std::ofstream(dir.path() + "stale") << "1\n/devtools/browser/gone\n";
    vantrel::posix::StdEventLoop loop;
    for (const std::string& endpoint :
         {dir.path() + "garbage", dir.path() + "stale", std::string("127.0.0.1:1"),
          "127.0.0.1:" + std::to_string(server.port()), std::string("ws://127.0.0.1:1/x"),
          std::string("no-port"), dir.path() + "missing"}) {
        SCOPED_TRACE(endpoint);
        ChromiumOptions options;
        options.attach = endpoint;
        ChromiumShell shell(loop, options);
        EXPECT_THROW(shell.createWindows(), BrowserError);
    }
}

}  // namespace
