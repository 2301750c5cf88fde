// Chromium watched through the extension alone: `vantrelctl watch` with no DevTools endpoint
// ("extension"), browsers of the test's own under Xvfb with the extension loaded and its
// native-messaging host (the desktop program) named in their profiles. The test drives each
// browser over a DevTools connection of its own, which Vantrel never sees.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "engine/page_scanner.h"
#include "extension_setup.h"
#include "tests/adapters/scoped_env.h"
#include "watch_process.h"
#include "x_desktop.h"

using namespace chromium_test;
using namespace std::chrono_literals;

namespace {

constexpr const char* kWatchedLine = "browsers watched through the extension:";

class ExtensionWatch : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists("/usr/bin/chromium")) GTEST_SKIP() << "no chromium";
        ASSERT_TRUE(desktop.ready());
        ASSERT_TRUE(startExtensionWatch(dir.path(), server.url("127.0.0.1", ""), watch))
            << watch->err;
    }

    // A browser with the extension, connected to the watcher once this returns.
    std::unique_ptr<TestBrowser> startBrowser(const TempDir& profile, size_t watched) {
        auto browser = startChromiumWithExtension(dir.path(), profile);
        EXPECT_TRUE(watch->waitFor([&] { return browsersWatched() == watched; }, 30s))
            << watch->err;
        return browser;
    }
    // How many browsers the watcher last said it watches.
    size_t browsersWatched() const {
        const auto line = watch->err.rfind(kWatchedLine);
        if (line == std::string::npos) return 0;
        const std::string list = watch->err.substr(line, watch->err.find('\n', line) - line);
        size_t count = 0;
        for (size_t at = 0; (at = list.find("(process", at)) != std::string::npos; ++at) ++count;
        return count;
    }
    void load(TestBrowser& browser, PageDriver& on, const std::string& url) {
        browser.connection().call("Page.navigate", {{"url", url}}, on.sessionId());
        ASSERT_TRUE(eventually([&] { return showsLoaded(on, url); })) << "never loaded: " << url;
    }
    bool logged(const std::string& address) {
        return watch->waitFor([&] {
            for (const auto& row : watch->rows()) {
                if (row.substr(row.find('\t') + 1) == address) return true;
            }
            return false;
        });
    }
    static long long sinceClick(std::chrono::steady_clock::time_point click,
                                std::chrono::steady_clock::time_point then) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(then - click).count();
    }
    // A button that opens `url` with `features` when clicked.
    static std::string opener(const std::string& id, const std::string& url,
                              const std::string& features) {
        return "<button id=" + id + " style='display:block;width:200px;height:40px' " +
               "onclick=\"window.open('" + url + "', '_blank', '" + features + "')\">" + id +
               "</button>";
    }

    XDesktop desktop;
    TempDir dir;
    PrivateRuntime runtime{dir.path()};
    HttpServer server;
    std::unique_ptr<WatchProcess> watch;
};

}  // namespace

TEST_F(ExtensionWatch, PopUpsBannersAndAdLinksAreHandledAndAFullWindowStays) {
    const std::string banner = "<a id=adlink href='" + server.url("media.test", "/click") +
                               "'><img id=ad src='" + server.url("media.test", "/b.gif") +
                               "' width=468 height=60></a>";
    server.page("/", opener("pop", server.url("other.test", "/window"), "width=300,height=200") +
                         opener("full", server.url("friend.test", "/full"), "") + banner +
                         "<a id=adx href='/ads/offer' style='display:block;height:40px'>ad</a>");
    server.page("/window", "a pop-up");
    server.page("/full", "a full window");
    server.page("/ads/offer", "an advertisement");
    server.page("/b.gif", "GIF89a", "image/gif");
    TempDir profile;
    auto browser = startBrowser(profile, 1);
    ASSERT_TRUE(browser);
    PageDriver page(browser->connection(), "about:blank");
    const std::string front = server.url("site.test", "/");
    ASSERT_NO_FATAL_FAILURE(load(*browser, page, front));

    // The banner's picture and link, from the snapshot the extension's script read.
    EXPECT_TRUE(eventually([&] {
        return valueIn(page, "document.getElementById('ad').alt") == vantrel::PageScanner::kTooltip;
    })) << watch->err;
    EXPECT_EQ(valueIn(page, "document.getElementById('ad').src.startsWith('data:image/gif')"),
              true);
    EXPECT_EQ(valueIn(page, "document.getElementById('adlink').href"),
              vantrel::Configuration{}.vtr_home);

    // A click-opened pop-up window is closed and logged with its address.
    const auto clicked = std::chrono::steady_clock::now();
    page.click("#pop");
    EXPECT_TRUE(logged(server.url("other.test", "/window"))) << watch->out << watch->err;
    const auto loggedAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(eventually([&] { return browser->pages().size() == 1; }));
    std::printf("pop-up logged %lld ms after the click, its window gone after %lld ms\n",
                sinceClick(clicked, loggedAt),
                sinceClick(clicked, std::chrono::steady_clock::now()));

    // A full window from an allowed site stays, past the sweep two seconds after each event.
    page.click("#full");
    ASSERT_TRUE(eventually([&] { return server.requested("/full"); }));
    const size_t rows = watch->rows().size();
    watch->drain(2500ms);
    EXPECT_EQ(browser->pages().size(), 2u);
    EXPECT_EQ(watch->rows().size(), rows) << watch->out;

    // An advertising link: stopped by the browser's rules before it leaves, logged, and the
    // tab is back at its page.
    ASSERT_TRUE(watch->waitFor([&] {
        return watch->err.find(" request rules (") != std::string::npos;
    })) << watch->err;
    page.click("#adx");
    EXPECT_TRUE(logged(server.url("site.test", "/ads/offer"))) << watch->out;
    EXPECT_TRUE(eventually([&] { return showsLoaded(page, front); }))
        << valueIn(page, "location.href") << "\n"
        << browser->pages().size();
    EXPECT_FALSE(server.requested("/ads/offer"));
    EXPECT_TRUE(watch->running());
}

TEST_F(ExtensionWatch, ASiteBlacklistedByTheHotKeyIsBlockedByTheBrowsersRules) {
    server.page("/", "the page in front");
    server.page("/next", "another page of the site");
    TempDir profile;
    auto browser = startBrowser(profile, 1);
    ASSERT_TRUE(browser);
    PageDriver page(browser->connection(), "about:blank");
    ASSERT_NO_FATAL_FAILURE(load(*browser, page, server.url("plain.test", "/")));
    ASSERT_TRUE(watch->waitFor([&] {
        return watch->err.find(" request rules (") != std::string::npos;
    })) << watch->err;
    const size_t rulesLines = watch->err.size();

    const auto pressed = std::chrono::steady_clock::now();
    ASSERT_EQ(std::system("xdotool key ctrl+alt+b"), 0);
    ASSERT_TRUE(watch->waitFor([&] {
        return watch->err.find(" request rules (", rulesLines) != std::string::npos;
    })) << watch->err;
    std::printf("rules with the new entry in force %lld ms after the hot key\n",
                sinceClick(pressed, std::chrono::steady_clock::now()));

    browser->connection().call("Page.navigate", {{"url", server.url("plain.test", "/next")}},
                               page.sessionId());
    EXPECT_TRUE(logged(server.url("plain.test", "/next"))) << watch->out;
    EXPECT_FALSE(server.requested("/next"));
}

TEST_F(ExtensionWatch, AKilledBrowserLeavesTheWatcherWatchingTheOtherOne) {
    server.page("/", opener("pop", server.url("other.test", "/window"), "width=300,height=200"));
    server.page("/window", "a pop-up");
    TempDir firstProfile, secondProfile;
    auto first = startBrowser(firstProfile, 1);
    auto second = startBrowser(secondProfile, 2);
    ASSERT_TRUE(first && second);

    ::kill(first->pid(), SIGKILL);
    EXPECT_TRUE(watch->waitFor([&] { return browsersWatched() == 1; })) << watch->err;
    ASSERT_TRUE(watch->running()) << watch->err;
    // The tray tip (standard error here) names it by the family's name: this Chromium's
    // brands list holds no other browser's.
    EXPECT_TRUE(watch->waitFor([&] {
        return std::regex_search(watch->err, std::regex("Vantrel: watching Chromium \\d+\n"));
    })) << watch->err;

    PageDriver page(second->connection(), "about:blank");
    ASSERT_NO_FATAL_FAILURE(load(*second, page, server.url("site.test", "/")));
    page.click("#pop");
    EXPECT_TRUE(logged(server.url("other.test", "/window"))) << watch->out << watch->err;
    EXPECT_TRUE(eventually([&] { return second->pages().size() == 1; }));
    EXPECT_EQ(watch->stop(SIGTERM), 0) << watch->err;
}
