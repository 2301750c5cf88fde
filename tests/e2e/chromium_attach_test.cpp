// Attaching to a browser that runs already, over its DevTools WebSocket.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "chromium_test_engine.h"
#include "chromium_test_support.h"
#include "platform/chromium/websocket_transport.h"

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
