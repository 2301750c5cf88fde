// Firefox ESR watched through the extension: `vantrelctl watch` with no DevTools endpoint
// ("extension"), the extension installed from its packed file as a user does, its host (the
// desktop program) found under the test's HOME. Firefox holds each document request until
// Vantrel's verdict has come.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "engine/page_scanner.h"
#include "extension_setup.h"
#include "tests/adapters/scoped_env.h"
#include "watch_process.h"
#include "x_desktop.h"

using namespace chromium_test;
using firefox_test::FirefoxBrowser;

namespace {

TEST(FirefoxWatch, AdLinkCancelledBannerReplacedPopUpClosedAndAnUnansweredRequestLetGo) {
    if (!FirefoxBrowser::installed()) GTEST_SKIP() << "firefox-esr is not installed";
    XDesktop desktop;
    ASSERT_TRUE(desktop.ready());
    TempDir dir;
    PrivateRuntime runtime(dir.path());
    HttpServer server;
    const std::string front = server.url("127.0.0.1", "/");
    server.page("/",
                "<a id=ad href='/ads/offer' style='display:block;height:40px'>offer</a>"
                "<button id=pop style='display:block;width:200px;height:40px' "
                "onclick=\"window.open('" +
                    server.url("127.0.0.1", "/window") +
                    "', 'w', 'width=300,height=200')\">pop</button>"
                    "<a id=adlink href='/click'><img id=banner src='/b.gif' width=468 "
                    "height=60></a>");
    server.page("/window", "a pop-up");
    server.page("/ads/offer", "an advertisement");
    server.page("/b.gif", "GIF89a", "image/gif");

    WatchProcess watch(extensionWatchArguments(dir.path(), server.url("127.0.0.1", "")));
    ASSERT_TRUE(watch.waitForError("connected\n")) << watch.err;

    std::string error;
    const auto started = startFirefoxWithExtension(dir.path(), runtime.path(), error);
    ASSERT_TRUE(started) << error;
    FirefoxBrowser& firefox = *started;
    ASSERT_TRUE(watch.waitFor(
        [&] { return watch.err.find("through the extension: firefox") != std::string::npos; },
        std::chrono::seconds(30)))
        << watch.err;
    // The tray tip (standard error here) names it.
    EXPECT_TRUE(watch.waitFor([&] {
        return std::regex_search(watch.err, std::regex("Vantrel: watching Firefox \\d+\n"));
    })) << watch.err;

    firefox.navigate(front);
    // The banner's picture and link, rewritten from the snapshot the extension's script read.
    EXPECT_TRUE(eventually([&] {
        return firefox.evaluate("return document.getElementById('banner').alt;") ==
               vantrel::PageScanner::kTooltip;
    })) << watch.err;
    EXPECT_EQ(firefox.evaluate(
                  "return document.getElementById('banner').src.startsWith('data:image/gif');"),
              true);
    EXPECT_EQ(firefox.evaluate("return document.getElementById('adlink').href;"),
              vantrel::Configuration{}.vtr_home);
    firefox.click("#ad");
    ASSERT_TRUE(watch.waitForRows(1)) << watch.err;
    EXPECT_EQ(watch.rows()[0].substr(watch.rows()[0].find('\t') + 1),
              server.url("127.0.0.1", "/ads/offer"));
    EXPECT_FALSE(server.requested("/ads/offer"));
    EXPECT_EQ(firefox.evaluate("return location.href;"), front);

    const auto clicked = std::chrono::steady_clock::now();
    firefox.click("#pop");
    ASSERT_TRUE(watch.waitForRows(2)) << watch.err;
    std::printf("pop-up logged %lld ms after the click\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - clicked)
                                           .count()));
    EXPECT_EQ(watch.rows()[1].substr(watch.rows()[1].find('\t') + 1),
              server.url("127.0.0.1", "/window"));
    EXPECT_TRUE(eventually([&] { return firefox.windows().size() == 1; }));

    // A Vantrel that does not answer holds a request up for a second at most; it is told.
    server.page("/later", "later");
    ::kill(watch.pid(), SIGSTOP);
    firefox.navigate(server.url("127.0.0.1", "/later"));
    EXPECT_TRUE(server.requested("/later"));
    ::kill(watch.pid(), SIGCONT);
    EXPECT_TRUE(watch.waitForError("1 request went on without a verdict")) << watch.err;
    EXPECT_EQ(watch.stop(SIGTERM), 0) << watch.err;
}

}  // namespace
