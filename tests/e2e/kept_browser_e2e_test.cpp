// The browser that `vantrelctl watch` starts through its keeper, on a private display: it
// outlives the watcher, it is started again when it ends, the desktop menu's start joins it, and
// its keeper serves one watcher at a time. Every keeper and browser of a test is ended with it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "engine/browser_recovery.h"
#include "platform/chromium/websocket_transport.h"
#include "platform/sqlite/sqlite_registry.h"
#include "session_sweep.h"
#include "settings/settings_store.h"
#include "shell/vantrel_form.h"
#include "test_browser.h"
#include "tests/adapters/scoped_env.h"
#include "watch_process.h"
#include "x_desktop.h"

using namespace chromium_test;
using namespace std::chrono_literals;
using vantrel::BrowserRecovery;
using vantrel::SettingsStore;
using vantrel::chromium::CdpConnection;

namespace {

// Runs a command to its end within `limit`; its exit status, or -1 (killed when out of time).
int runBounded(std::vector<std::string> words, std::chrono::milliseconds limit) {
    const pid_t pid = XDesktop::spawn(std::move(words));
    if (pid <= 0) return -1;
    int status = 0;
    if (!eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limit)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class KeptBrowser : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!xDesktop.ready()) GTEST_SKIP() << "no Xvfb";
        std::filesystem::create_directory(lists);
        vantrel::sqlite::SqliteRegistry settings(registry);
        settings.writeValue(SettingsStore::kKey, "vtr_server", server.url("127.0.0.1", ""));
        // A DevTools port besides the keeper's pipe, for the test's own looks and clicks.
        settings.writeValue(SettingsStore::kKey, "vtr_browser_cmd",
                            "chromium --remote-debugging-port=0 --window-size=1000,700 "
                            "--user-data-dir=" +
                                profile);
    }
    void TearDown() override {
        devtools.reset();
        watchers.clear();
        EXPECT_TRUE(endSessionsNaming(profile)) << "a keeper or browser would not end";
    }

    WatchProcess& startWatcher() {
        watchers.push_back(std::make_unique<WatchProcess>(
            std::vector<std::string>{"--lists", lists, "--registry", registry}));
        return *watchers.back();
    }
    // The test's own connection to the browser running now (after a restart, the new one).
    void attach() {
        devtools.reset();
        const std::string file = profile + "/DevToolsActivePort";
        ASSERT_TRUE(eventually([&] { return readFile(file).find('\n') != std::string::npos; }))
            << "the browser has no DevTools port";
        devtools = std::make_unique<CdpConnection>(vantrel::chromium::connectWebSocket(file, 5s));
        devtools->start();
    }
    std::vector<std::string> pages() {
        std::vector<std::string> urls;
        const Json targets = devtools->call("Target.getTargets");
        for (const auto& t : targets.value("targetInfos", Json::array())) {
            if (t.value("type", "") == "page") urls.push_back(t.value("url", ""));
        }
        return urls;
    }
    // The pages some client of the browser is attached to.
    int attachedPages() {
        int attached = 0;
        const Json targets = devtools->call("Target.getTargets");
        for (const auto& t : targets.value("targetInfos", Json::array())) {
            if (t.value("type", "") == "page" && t.value("attached", false)) ++attached;
        }
        return attached;
    }
    // Quits the browser as its menu does, and forgets its port.
    void quitBrowser() {
        ::unlink((profile + "/DevToolsActivePort").c_str());
        devtools->send("Browser.close", Json::object());
        devtools.reset();
    }
    void load(PageDriver& page, const std::string& url) {
        devtools->call("Page.navigate", {{"url", url}}, page.sessionId());
        ASSERT_TRUE(eventually([&] { return showsLoaded(page, url); })) << "never loaded: " << url;
    }
    // A page that opens a small pop-up window when its button is clicked.
    std::string popUpPage() {
        server.page("/", "<button id=b style='width:200px;height:50px' onclick=\"window.open('" +
                             popUp + "', 'w', 'width=300,height=200')\">open</button>");
        server.page("/window", "a pop-up");
        return server.url("127.0.0.1", "/");
    }
    // Clicks the pop-up page's button and sees the watcher close the pop-up and log it.
    void expectPopUpKilled(WatchProcess& watcher, PageDriver& page) {
        const size_t before = watcher.rows().size();
        page.click("#b");
        ASSERT_TRUE(watcher.waitForRows(before + 1))
            << watcher.err << "the pop-up was " << (server.requested("/window") ? "" : "not ")
            << "requested; pages: " << pages().size();
        EXPECT_EQ(watcher.rows().back().substr(watcher.rows().back().find('\t') + 1), popUp);
        EXPECT_TRUE(eventually([&] { return pages().size() == 1; })) << pages().size();
    }

    TempDir dir;
    PrivateRuntime runtime{dir.path()};
    XDesktop xDesktop;
    HttpServer server;
    const std::string popUp = server.url("localhost", "/window");
    const std::string profile = dir.path() + "profile";
    const std::string lists = dir.path() + "lists/";
    const std::string registry = dir.path() + "registry.db";
    std::vector<std::unique_ptr<WatchProcess>> watchers;
    std::unique_ptr<CdpConnection> devtools;
};

TEST_F(KeptBrowser, AQuitBrowserIsStartedAgainAndTheDesktopMenusStartJoinsIt) {
    const std::string url = popUpPage();
    WatchProcess& watcher = startWatcher();
    ASSERT_TRUE(watcher.waitForError("connected\n")) << watcher.err;
    ASSERT_NO_FATAL_FAILURE(attach());
    quitBrowser();
    ASSERT_TRUE(watcher.waitForError(BrowserRecovery::kLostTip)) << watcher.err;
    ASSERT_TRUE(watcher.waitForError(BrowserRecovery::kBackTip, 30s)) << watcher.err;
    ASSERT_NO_FATAL_FAILURE(attach());
    EXPECT_TRUE(pages().empty()) << "started again with a window";

    // The desktop menu runs the browser on the same profile: that start hands its window to
    // the running browser and ends.
    std::vector<std::string> menuStart = {"chromium", "--user-data-dir=" + profile, url};
    if (::geteuid() == 0) menuStart.insert(menuStart.begin() + 1, "--no-sandbox");
    EXPECT_EQ(runBounded(menuStart, 30s), 0) << "the menu's start did not join the browser";
    ASSERT_TRUE(eventually([&] { return pages().size() == 1; }, 15s));
    PageDriver page(*devtools, url);
    ASSERT_TRUE(eventually([&] { return showsLoaded(page, url); }));
    expectPopUpKilled(watcher, page);
    EXPECT_TRUE(watcher.running());
}

TEST_F(KeptBrowser, TheBrowserOutlivesItsWatchersAndALaterOneWatchesItAgain) {
    const std::string url = popUpPage();
    {
        WatchProcess& first = startWatcher();
        ASSERT_TRUE(first.waitForError("connected\n")) << first.err;
        ASSERT_NO_FATAL_FAILURE(attach());
        EXPECT_EQ(first.stop(SIGTERM), 0) << first.err;
    }
    // The keeper lets go of the gone watcher's sessions: no page stays attached.
    EXPECT_TRUE(eventually([&] { return attachedPages() == 0; }));
    PageDriver page(*devtools, "");
    // Nothing waits for the watcher that has gone: pages load and windows open.
    load(page, url);
    page.click("#b");
    EXPECT_TRUE(eventually([&] { return server.requested("/window"); }));
    EXPECT_TRUE(eventually([&] { return pages().size() == 2; }));
    // Closed from here: a script's window.open needs the click's activation, which may be over.
    ASSERT_TRUE(eventually([&] {
        const Json targets = devtools->call("Target.getTargets");
        for (const auto& t : targets.value("targetInfos", Json::array())) {
            const std::string id = t.value("targetId", "");
            if (t.value("type", "") != "page" || id == page.targetId()) continue;
            try {
                devtools->call("Target.closeTarget", {{"targetId", id}});
            } catch (const vantrel::BrowserError&) {
                // Gone since the list was read: closed by an earlier round, or by itself.
            }
        }
        return pages().size() == 1;
    }));

    WatchProcess& second = startWatcher();
    ASSERT_TRUE(second.waitForError("connected\n")) << second.err;
    expectPopUpKilled(second, page);

    // A watcher that crashes leaves nothing paused either: the keeper lets go of its sessions.
    EXPECT_EQ(second.stop(SIGKILL), -1);
    load(page, server.url("127.0.0.1", "/window"));
    EXPECT_TRUE(eventually([&] { return pages().size() == 1; }));
}

TEST_F(KeptBrowser, TheKeeperServesOneWatcherAtATime) {
    WatchProcess& first = startWatcher();
    ASSERT_TRUE(first.waitForError("connected\n")) << first.err;
    WatchProcess& second = startWatcher();
    EXPECT_EQ(second.wait(30s), 2) << second.err;
    EXPECT_NE(second.err.find("Vantrel failed to connect with Chromium."), std::string::npos)
        << second.err;
    EXPECT_TRUE(first.running());
    EXPECT_EQ(first.err.find(BrowserRecovery::kLostTip), std::string::npos) << first.err;
    // One keeper for the profile: the second watcher started none of its own.
    int keepers = 0;
    for (pid_t pid : processesNaming(profile)) {
        ProcessInfo info;
        if (readProcess(pid, info) &&
            info.commandLine.find("vantrel-keeper --socket") != std::string::npos)
            ++keepers;
    }
    EXPECT_EQ(keepers, 1);
}

}  // namespace
