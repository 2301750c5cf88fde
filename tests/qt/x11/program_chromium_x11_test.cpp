// The desktop program against a real Chromium on the private display: the browser is the
// test's own (a DevTools port the program attaches to through `vtr_browser`), its page served
// on 127.0.0.1, and the hot key pressed with xdotool as the user would.

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <chrono>

#include "program_process.h"
#include "tests/e2e/test_browser.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kTitle = "Vantrel front page";

// Brings the browser's window in front the way the user would: the page's tab raised, then
// its X window activated through the window manager.
void activate(chromium_test::TestBrowser& browser, chromium_test::PageDriver& page) {
    try {
        browser.connection().call("Page.bringToFront", chromium_test::Json::object(),
                                  page.sessionId());
    } catch (const vantrel::BrowserError&) {
        // The window manager's activation below still applies; the caller tries again.
    }
    const QString window =
        xdotool({"search", "--onlyvisible", "--name", QString::fromLatin1(kTitle)})
            .section('\n', 0, 0);
    if (!window.isEmpty()) xdotool({"windowactivate", "--sync", window});
}

}  // namespace

TEST(ProgramWithChromiumOnX11, CtrlAltBBlacklistsTheRealPageInFrontAndCountsTheKill) {
    if (QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty()) {
        GTEST_SKIP() << "chromium is not installed";
    }
    TempDir dir;
    chromium_test::HttpServer server;
    server.page("/", std::string("<title>") + kTitle + "</title>front page");
    chromium_test::TestBrowser browser(dir, false);
    ASSERT_FALSE(browser.portFile().empty()) << "no DevTools port";
    chromium_test::PageDriver page(browser.connection(), "about:blank");
    const std::string url = server.url("127.0.0.1", "/");
    browser.connection().call("Page.navigate", {{"url", url}}, page.sessionId());
    ASSERT_TRUE(
        chromium_test::eventually([&] { return chromium_test::showsLoaded(page, url); }, 30s))
        << "never loaded: " << url;

    // The vendor server on loopback too: nothing the program does leaves the machine.
    Program program(QString(), {{"vtr_browser", browser.portFile()},
                                {"vtr_server", server.url("127.0.0.1", "")}});
    ASSERT_TRUE(runUntil([&] { return !program.mainWindow().isEmpty(); }));
    // The program shows its own window in front at the start; nothing says when it has seen
    // the browser come to the front, so the key is pressed again until the page is listed.
    QDeadlineTimer deadline(30000);
    bool listed = false;
    while (!listed && !deadline.hasExpired()) {
        activate(browser, page);
        xdotool({"key", "ctrl+alt+b"});
        listed = runUntil(
            [&] { return readAll(program.file("blacklist.lis")).contains("127.0.0.1"); }, 2000);
    }
    EXPECT_TRUE(listed) << readAll(program.file("blacklist.lis")).toStdString();
    // The kill was counted (and logged with it); the session's end saves the count.
    EXPECT_TRUE(program.terminate());
    EXPECT_GE(program.storedValue("vtr_count").toInt(), 1);
}
