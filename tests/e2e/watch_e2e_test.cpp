// `vantrelctl watch` end to end: a Chromium of the test's own with pages served on 127.0.0.1,
// the watcher attached to it over DevTools, clicks made through the test's own connection.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "chromium_test_support.h"
#include "engine/browser_recovery.h"
#include "engine/page_scanner.h"
#include "platform/sqlite/sqlite_registry.h"
#include "settings/settings_store.h"
#include "shell/vantrel_form.h"
#include "test_browser.h"
#include "tests/adapters/scoped_env.h"
#include "watch_process.h"
#include "x_desktop.h"

using namespace chromium_test;
using namespace std::chrono_literals;
using vantrel::SettingsStore;

namespace {

class Watch : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(lists);
        std::ofstream(lists + "allowed.lis", std::ios::binary) << "friend.test\r\n";
        std::ofstream(lists + "blacklist.lis", std::ios::binary) << "adnet.test\r\n";
        // The vendor server on loopback too: nothing the watcher does leaves the machine.
        vantrel::sqlite::SqliteRegistry(registry).writeValue(SettingsStore::kKey, "vtr_server",
                                                             server.url("127.0.0.1", ""));
    }

    // Starts the browser and the watcher attached to it, and takes the browser's first page.
    void start(bool headless = true) {
        browser = std::make_unique<TestBrowser>(dir, headless);
        ASSERT_FALSE(browser->portFile().empty()) << "no DevTools port";
        watch = std::make_unique<WatchProcess>(std::vector<std::string>{
            "--attach", browser->portFile(), "--lists", lists, "--registry", registry});
        ASSERT_TRUE(watch->waitForError("connected\n")) << watch->err;
        page = std::make_unique<PageDriver>(browser->connection(), "about:blank");
    }

    void load(PageDriver& on, const std::string& url) {
        browser->connection().call("Page.navigate", {{"url", url}}, on.sessionId());
        ASSERT_TRUE(eventually([&] { return showsLoaded(on, url); })) << "never loaded: " << url;
    }
    void load(const std::string& host, const std::string& path) {
        load(*page, server.url(host, path));
    }

    // A button that opens `url` with `features` when clicked.
    std::string opener(const std::string& url, const std::string& features) {
        return "<button id=b style='width:200px;height:50px' onclick=\"window.open('" + url +
               "', 'w', '" + features + "')\">open</button>";
    }

    // Stops the watcher as the user would and says how it ended.
    int terminate() { return watch->stop(SIGTERM); }

    std::string savedValue(const std::string& name) {
        return vantrel::sqlite::SqliteRegistry(registry).readValue(SettingsStore::kKey, name);
    }

    void expectOneRowFor(const std::string& address) {
        watch->drain(300ms);
        const auto rows = watch->rows();
        ASSERT_EQ(rows.size(), 1u) << watch->out << watch->err;
        EXPECT_TRUE(std::regex_match(rows[0], std::regex(R"(\d\d-\d\d \d\d:\d\d:\d\d\t.*)")))
            << rows[0];
        EXPECT_EQ(rows[0].substr(rows[0].find('\t') + 1), address);
    }

    TempDir dir;
    // A keeper a watcher starts serves in the test's own folder, away from the user's.
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().c_str()};
    HttpServer server;
    const std::string lists = dir.path() + "lists/";
    const std::string registry = dir.path() + "registry.db";
    std::unique_ptr<XDesktop> xDesktop;  // before the browser, which needs its display
    std::unique_ptr<TestBrowser> browser;
    std::unique_ptr<WatchProcess> watch;
    std::unique_ptr<PageDriver> page;
};

TEST_F(Watch, AdLinkClickedIsCancelledLoggedAndCountedAtShutdown) {
    server.page("/", "<a id=ad href='/ads/offer' style='display:block;height:50px'>offer</a>");
    ASSERT_NO_FATAL_FAILURE(start());
    load("site.test", "/");
    page->click("#ad");
    ASSERT_TRUE(watch->waitForRows(1)) << watch->err;
    expectOneRowFor(server.url("site.test", "/ads/offer"));
    EXPECT_FALSE(server.requested("/ads/offer"));
    EXPECT_EQ(valueIn(*page, "location.pathname"), "/");
    EXPECT_EQ(terminate(), 0) << watch->err;
    EXPECT_EQ(savedValue("vtr_count"), "1");
}

TEST_F(Watch, ClickOpenedPopUpIsClosedBeforeItsRequestLeaves) {
    server.page("/", opener(server.url("other.test", "/window"), "width=300,height=200"));
    server.page("/window", "a pop-up");
    ASSERT_NO_FATAL_FAILURE(start());
    load("site.test", "/");
    page->click("#b");
    ASSERT_TRUE(watch->waitForRows(1)) << watch->err;
    EXPECT_TRUE(eventually([&] { return browser->pages().size() == 1; }));
    watch->drain(500ms);
    EXPECT_EQ(watch->rows().size(), 1u) << watch->out;
    EXPECT_FALSE(server.requested("/window"));
    EXPECT_EQ(browser->pages().size(), 1u);
}

TEST_F(Watch, ClickOpenedFullWindowFromAnAllowedSiteStays) {
    server.page("/", opener(server.url("friend.test", "/full"), ""));
    server.page("/full", "a full window");
    ASSERT_NO_FATAL_FAILURE(start());
    load("friend.test", "/");
    page->click("#b");
    ASSERT_TRUE(eventually([&] { return server.requested("/full"); }));
    // Past the sweep that follows every navigation by two seconds.
    watch->drain(2500ms);
    EXPECT_EQ(browser->pages().size(), 2u);
    EXPECT_TRUE(watch->rows().empty()) << watch->out;
}

TEST_F(Watch, BannerFromAnotherHostIsReplacedOneFromAnAllowedHostIsNot) {
    server.page("/", "<a id=adlink href='" + server.url("media.test", "/click") +
                         "'><img id=ad src='" + server.url("media.test", "/b.gif") +
                         "' width=468 height=60></a><a id=friendlink href='" +
                         server.url("friend.test", "/click") + "'><img id=friend src='" +
                         server.url("friend.test", "/b.gif") + "' width=468 height=60></a>");
    server.page("/b.gif", "GIF89a", "image/gif");
    ASSERT_NO_FATAL_FAILURE(start());
    load("site.test", "/");
    ASSERT_TRUE(eventually([&] {
        return valueIn(*page, "document.getElementById('ad').alt") ==
               vantrel::PageScanner::kTooltip;
    }));
    EXPECT_EQ(valueIn(*page, "document.getElementById('ad').src.startsWith('data:image/gif')"),
              true);
    EXPECT_EQ(valueIn(*page, "document.getElementById('ad').width"), 468);
    EXPECT_EQ(valueIn(*page, "document.getElementById('adlink').href"),
              vantrel::Configuration{}.vtr_home);
    EXPECT_EQ(valueIn(*page, "document.getElementById('friend').src"),
              server.url("friend.test", "/b.gif"));
    EXPECT_EQ(valueIn(*page, "document.getElementById('friend').alt"), "");
    EXPECT_EQ(valueIn(*page, "document.getElementById('friendlink').href"),
              server.url("friend.test", "/click"));
    EXPECT_TRUE(std::filesystem::exists(lists + "r468x60.gif"));
}

TEST_F(Watch, FrameNavigatingToAnAdAddressIsCancelled) {
    server.page("/", "<iframe id=f src='/inner'></iframe>");
    server.page("/inner", "inner");
    ASSERT_NO_FATAL_FAILURE(start());
    load("site.test", "/");
    ASSERT_TRUE(eventually([&] { return server.requested("/inner"); }));
    page->evaluate("document.getElementById('f').src = '" + server.url("adnet.test", "/frame") +
                   "'");
    ASSERT_TRUE(watch->waitForRows(1)) << watch->err;
    expectOneRowFor(server.url("adnet.test", "/frame"));
    EXPECT_FALSE(server.requested("/frame"));
    EXPECT_EQ(valueIn(*page, "location.pathname"), "/");
}

TEST_F(Watch, WindowOpenedAfterStartIsWatched) {
    server.page("/later", "<a id=ad href='/ads/x' style='display:block;height:40px'>x</a>");
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string url = server.url("site.test", "/later");
    browser->connection().call("Target.createTarget", {{"url", url}});
    ASSERT_TRUE(eventually([&] { return server.requested("/later"); }));
    PageDriver later(browser->connection(), "/later");
    ASSERT_TRUE(eventually([&] { return showsLoaded(later, url); }));
    later.click("#ad");
    ASSERT_TRUE(watch->waitForRows(1)) << watch->err;
    expectOneRowFor(server.url("site.test", "/ads/x"));
    EXPECT_FALSE(server.requested("/ads/x"));
}

TEST_F(Watch, BrowserKilledMidRunLeavesTheWatcherToEndCleanly) {
    server.page("/", "page");
    ASSERT_NO_FATAL_FAILURE(start());
    load("site.test", "/");
    std::filesystem::remove(lists + "blacklist.lis");
    browser->kill();
    watch->drain(1500ms);
    ASSERT_TRUE(watch->running()) << watch->err;
    EXPECT_EQ(terminate(), 0) << watch->err;
    // The lists are saved at the end whatever became of the browser.
    EXPECT_EQ(readFile(lists + "blacklist.lis"), "adnet.test\r\n");
}

TEST_F(Watch, AnAttachedBrowserThatWentAwayIsAttachedAgainWhenItAnswers) {
    server.page("/", opener(server.url("other.test", "/window"), "width=300,height=200"));
    server.page("/window", "a pop-up");
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_TRUE(std::regex_search(watch->err, std::regex("Vantrel: watching Chromium \\d+\n")))
        << watch->err;
    browser->kill();
    ASSERT_TRUE(watch->waitForError(vantrel::BrowserRecovery::kLostTip)) << watch->err;
    // Nothing answers at the endpoint for a while: the watcher waits, quietly.
    watch->drain(2 * std::chrono::milliseconds(vantrel::BrowserRecovery::kRetryMs));
    EXPECT_EQ(watch->err.find(vantrel::BrowserRecovery::kBackTip), std::string::npos) << watch->err;
    ASSERT_TRUE(watch->running());

    // The browser runs again on the same profile; its port file names the new endpoint.
    browser = std::make_unique<TestBrowser>(dir, true);
    ASSERT_TRUE(watch->waitForError(vantrel::BrowserRecovery::kBackTip)) << watch->err;
    page = std::make_unique<PageDriver>(browser->connection(), "about:blank");
    load("site.test", "/");
    page->click("#b");
    ASSERT_TRUE(watch->waitForRows(1)) << watch->err;
    EXPECT_TRUE(eventually([&] { return browser->pages().size() == 1; }));
    EXPECT_FALSE(server.requested("/window"));
    // The return is the tip's last word: the reconnection's own report of the browser does
    // not cover it.
    const auto back = watch->err.rfind(vantrel::BrowserRecovery::kBackTip);
    EXPECT_EQ(watch->err.find("Vantrel: watching", back), std::string::npos) << watch->err;
}

TEST_F(Watch, InterruptEndsItLikeTermination) {
    ASSERT_NO_FATAL_FAILURE(start());
    std::filesystem::remove(lists + "allowed.lis");
    EXPECT_EQ(watch->stop(SIGINT), 0) << watch->err;
    EXPECT_EQ(readFile(lists + "allowed.lis"), "friend.test\r\n");
    EXPECT_EQ(savedValue("vtr_count"), "0");
}

// Headful, on a private X display with a window manager: the keyboard matters.
class WatchOnDesktop : public Watch {
  protected:
    void SetUp() override {
        xDesktop = std::make_unique<XDesktop>();
        if (!xDesktop->ready()) GTEST_SKIP() << "no Xvfb";
        Watch::SetUp();
    }
    void TearDown() override {
        if (xDesktop && xDesktop->ready()) XDesktop::run({"xdotool", "keyup", "ctrl"});
    }
};

TEST_F(WatchOnDesktop, HoldingCtrlLetsAPopUpOpenAndTheNextSweepAfterReleaseClosesIt) {
    server.page("/", opener(server.url("other.test", "/window"), "width=300,height=200"));
    server.page("/window", "a pop-up");
    server.page("/next", "next");
    ASSERT_NO_FATAL_FAILURE(start(false));
    load("site.test", "/");
    XDesktop::run({"xdotool", "keydown", "ctrl"});
    page->click("#b");
    ASSERT_TRUE(eventually([&] { return server.requested("/window"); }));
    watch->drain(500ms);
    EXPECT_EQ(browser->pages().size(), 2u);
    EXPECT_TRUE(watch->rows().empty()) << watch->out;

    XDesktop::run({"xdotool", "keyup", "ctrl"});
    load("site.test", "/next");
    ASSERT_TRUE(watch->waitForRows(1)) << watch->err;
    expectOneRowFor(server.url("other.test", "/window"));
    EXPECT_TRUE(eventually([&] { return browser->pages().size() == 1; }));
}

TEST_F(WatchOnDesktop, HotKeyPutsTheFrontSiteOnTheAllowedListAndShutdownSavesIt) {
    server.page("/", "front page");
    ASSERT_NO_FATAL_FAILURE(start(false));
    load("site.test", "/");
    browser->connection().call("Page.bringToFront", Json::object(), page->sessionId());
    // CTRL+ALT+E, the allowed list's key of a new installation.
    ASSERT_TRUE(eventually(
        [&] {
            XDesktop::run({"xdotool", "key", "ctrl+alt+e"});
            return readFile(lists + "allowed.lis").find("site.test") != std::string::npos;
        },
        15s))
        << readFile(lists + "allowed.lis") << (watch->drain(500ms), watch->err);
    std::filesystem::remove(lists + "allowed.lis");
    EXPECT_EQ(terminate(), 0) << watch->err;
    const std::string saved = readFile(lists + "allowed.lis");
    EXPECT_NE(saved.find("friend.test\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("site.test"), std::string::npos) << saved;
}

// Start-up failures and the configuration, without a page to watch.
class WatchStart : public Watch {};

TEST_F(WatchStart, UnreachableBrowserIsTheConnectFailureWithStatus2) {
    WatchProcess failing({"--attach", "127.0.0.1:1", "--lists", lists, "--registry", registry});
    EXPECT_EQ(failing.wait(), 2);
    EXPECT_NE(failing.err.find("Vantrel failed to connect with Chromium.\n"
                               "Please close Chromium, or check the vtr_browser setting, before "
                               "launching Vantrel again."),
              std::string::npos)
        << failing.err;
    EXPECT_EQ(failing.err.find("connected\n"), std::string::npos);
    EXPECT_TRUE(failing.rows().empty());
}

TEST_F(WatchStart, BrowserCommandAndEndpointComeFromTheConfiguration) {
    vantrel::sqlite::SqliteRegistry(registry).writeValue(SettingsStore::kKey, "vtr_browser_cmd",
                                                         dir.path() + "no-such-browser");
    WatchProcess missing({"--lists", lists, "--registry", registry});
    EXPECT_EQ(missing.wait(), 2);
    EXPECT_NE(missing.err.find(vantrel::VantrelForm::kTitle), std::string::npos) << missing.err;

    browser = std::make_unique<TestBrowser>(dir, true);
    ASSERT_FALSE(browser->portFile().empty());
    vantrel::sqlite::SqliteRegistry(registry).writeValue(SettingsStore::kKey, "vtr_browser",
                                                         browser->portFile());
    WatchProcess attached({"--lists", lists, "--registry", registry});
    EXPECT_TRUE(attached.waitForError("connected\n")) << attached.err;
    EXPECT_EQ(attached.stop(), 0);
}

TEST_F(WatchStart, BadArgumentsAreRefusedWithStatus2) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--lists", dir.path() + "missing", "--registry", registry},
             {"--lists", lists, "--registry", registry, "--frobnicate"},
             {"--lists", lists, "--registry", registry, "extra"},
             {"--lists", lists, "--registry", registry, "--attach"},
             {"--lists", lists, "--registry", lists + "allowed.lis"}}) {
        WatchProcess refused(args);
        EXPECT_EQ(refused.wait(), 2) << args.back();
        EXPECT_NE(refused.err.find("vantrelctl watch: "), std::string::npos) << refused.err;
    }
    // Nothing was written over the list that is no registry.
    EXPECT_EQ(readFile(lists + "allowed.lis"), "friend.test\r\n");
}

}  // namespace
