// Times the Chromium adapter against a real headless browser on loopback:
//   click to pop-up closed, navigation time with and without interception, snapshot of a page
//   with 1,000 images. Prints medians in milliseconds.

#include <algorithm>
#include <cstdio>
#include <vector>

#include "../chromium_test_engine.h"
#include "bench_timing.h"
#include "platform/chromium/page_scripts.h"

using namespace chromium_test;
using vantrel::chromium::ChromiumShell;

int main() {
    HttpServer server;
    std::string images;
    for (int i = 0; i < 1000; ++i) {
        images +=
            "<a href='/l" + std::to_string(i) + "'><img src='/i.gif' width=468 height=60></a>";
    }
    server.page("/", "<button id=b style='width:200px;height:50px' onclick=\"window.open('" +
                         server.url("pop.test", "/popup") +
                         "', 'p', 'width=300,height=200')\">open</button>");
    server.page("/page", "<p>plain</p>");
    server.page("/images", images);
    server.page("/i.gif", "GIF89a", "image/gif");

    constexpr int kRounds = 15;
    std::vector<double> closeTimes, intercepted, plain, snapshots;
    {
        TempDir dir;
        vantrel::posix::StdEventLoop loop;
        ChromiumShell shell(loop, browserOptions(dir, true));
        TestEngine engine(shell);
        engine.connect();
        PageDriver first(shell.connection(), "about:blank");
        shell.connection().send("Page.navigate", {{"url", server.url("site.test", "/")}},
                                first.sessionId());
        runUntil(loop, [&] { return !engine.completed.empty(); });
        for (int i = 0; i < kRounds; ++i) {
            const auto start = Clock::now();
            first.click("#b");
            runUntil(loop, [&] { return engine.registered > i; });
            runUntil(loop, [&] { return engine.count() == 1; });
            closeTimes.push_back(ms(start, Clock::now()));
        }
        for (int i = 0; i < kRounds; ++i) {
            const std::string url = server.url("site.test", "/page?n=" + std::to_string(i));
            shell.connection().send("Page.navigate", {{"url", url}}, first.sessionId());
            runUntil(loop, [&] { return engine.completed.back() == url; });
            intercepted.push_back(loadTime(first));
        }
        const std::string url = server.url("site.test", "/images");
        shell.connection().send("Page.navigate", {{"url", url}}, first.sessionId());
        runUntil(loop, [&] { return engine.completed.back() == url; });
        for (int i = 0; i < kRounds; ++i) {
            const auto start = Clock::now();
            const Json world = shell.connection().call(
                "Page.createIsolatedWorld",
                {{"frameId", first.targetId()}, {"worldName", vantrel::chromium::kWorldName}},
                first.sessionId());
            shell.connection().call("Runtime.evaluate",
                                    {{"expression", vantrel::chromium::snapshotScript()},
                                     {"contextId", world["executionContextId"]},
                                     {"returnByValue", true}},
                                    first.sessionId());
            snapshots.push_back(ms(start, Clock::now()));
        }
    }
    {
        // The same navigations in a browser nobody intercepts.
        TempDir dir;
        auto options = browserOptions(dir, true);
        vantrel::chromium::CdpConnection connection(
            std::make_unique<vantrel::chromium::ChromiumProcess>(options.launch));
        connection.start();
        PageDriver page(connection, "about:blank");
        for (int i = 0; i < kRounds; ++i) {
            connection.call("Page.navigate",
                            {{"url", server.url("site.test", "/page?n=" + std::to_string(i))}},
                            page.sessionId());
            double t = -1;
            for (int tries = 0; tries < 200 && t <= 0; ++tries) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                t = loadTime(page);
            }
            plain.push_back(t);
        }
        connection.close();
    }
    std::printf("click to pop-up closed: median %.1f ms (max %.1f)\n", median(closeTimes),
                *std::max_element(closeTimes.begin(), closeTimes.end()));
    std::printf("navigation, intercepted: median %.1f ms; not intercepted: median %.1f ms\n",
                median(intercepted), median(plain));
    std::printf("snapshot of 1,000 images and links: median %.1f ms\n", median(snapshots));
}
