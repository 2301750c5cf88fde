// Times the whole blocker, `vantrelctl watch` attached to a headless Chromium on loopback:
//   click to pop-up closed, navigation time with the watcher and without, and a page of 1,000
//   linked banners from load to the last one replaced. Prints medians in milliseconds.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "../test_browser.h"
#include "../watch_process.h"
#include "bench_timing.h"

using namespace chromium_test;

namespace {

std::vector<double> navigations(TestBrowser& browser, PageDriver& page, HttpServer& server,
                                const std::string& tag, int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const std::string url = server.url("site.test", "/page?" + tag + std::to_string(i));
        browser.connection().call("Page.navigate", {{"url", url}}, page.sessionId());
        double t = -1;
        eventually([&] {
            t = valueIn(page, "location.href") == url ? loadTime(page) : -1;
            return t > 0;
        });
        times.push_back(t);
    }
    return times;
}

}  // namespace

int main() {
    HttpServer server;
    std::string banners;
    for (int i = 0; i < 1000; ++i) {
        banners += "<a href='" + server.url("media.test", "/l" + std::to_string(i)) +
                   "'><img src='/i.gif' width=468 height=60></a>";
    }
    server.page("/", "<button id=b style='width:200px;height:50px' onclick=\"window.open('" +
                         server.url("other.test", "/window") +
                         "', 'p', 'width=300,height=200')\">open</button>");
    server.page("/page", "<p>plain</p>");
    server.page("/banners", banners);
    server.page("/i.gif", "GIF89a", "image/gif");

    constexpr int kRounds = 15;
    TempDir dir;
    const std::string lists = dir.path() + "lists/";
    std::filesystem::create_directory(lists);
    TestBrowser browser(dir, true);
    PageDriver page(browser.connection(), "about:blank");
    const std::vector<double> plain = navigations(browser, page, server, "plain", kRounds);

    WatchProcess watch({"--attach", browser.portFile(), "--lists", lists, "--registry",
                        dir.path() + "registry.db"});
    if (!watch.waitForError("connected\n")) {
        std::fprintf(stderr, "watch did not connect: %s\n", watch.err.c_str());
        return 1;
    }
    const std::vector<double> watched = navigations(browser, page, server, "watched", kRounds);

    std::vector<double> closeTimes;
    const std::string site = server.url("site.test", "/");
    browser.connection().call("Page.navigate", {{"url", site}}, page.sessionId());
    eventually([&] { return showsLoaded(page, site); });
    for (int i = 0; i < kRounds; ++i) {
        const auto start = Clock::now();
        page.click("#b");
        watch.waitForRows(size_t(i) + 1);
        eventually([&] { return browser.pages().size() == 1; });
        closeTimes.push_back(ms(start, Clock::now()));
    }

    std::vector<double> scans;
    for (int i = 0; i < 5; ++i) {
        const std::string url = server.url("site.test", "/banners?" + std::to_string(i));
        browser.connection().call("Page.navigate", {{"url", url}}, page.sessionId());
        eventually([&] { return valueIn(page, "location.href") == url && loadTime(page) > 0; });
        const auto loaded = Clock::now();
        eventually(
            [&] { return valueIn(page, "[...document.images].every(i => i.alt !== '')") == true; });
        scans.push_back(ms(loaded, Clock::now()));
    }
    watch.stop();

    std::printf("click to pop-up closed (watch): median %.1f ms (max %.1f)\n", median(closeTimes),
                *std::max_element(closeTimes.begin(), closeTimes.end()));
    std::printf("navigation with watch: median %.1f ms; without: median %.1f ms\n", median(watched),
                median(plain));
    std::printf("1,000 banners from load to the last replaced (watch): median %.1f ms\n",
                median(scans));
}
