// The "Kill popup" button in Firefox ESR, with the desktop program watching Firefox through the
// extension alone: the extension installed as README tells a user (the packed file the program
// writes, opened in Firefox), a click on its toolbar button with a page of a local server in
// front, and the running Vantrel that the native-messaging host hands the press to. The test
// presses the button through Marionette in Firefox's own window context, as a click on it does.

#include <gtest/gtest.h>

#include <QFileInfo>

#include "platform/webext/browser_extension.h"
#include "program_process.h"
#include "tests/e2e/chromium_test_support.h"
#include "tests/e2e/firefox_browser.h"

namespace {

using firefox_test::FirefoxBrowser;
using vantrel::webext::kFirefoxExtensionId;

constexpr const char* kTitle = "Firefox front page";

// Brings the Firefox window showing the page to the front, as the user's click on it does.
bool showInFront() {
    return runUntil([] { return activateWindowNamed(QString::fromLatin1(kTitle)); });
}

TEST(BrowserButtonWithFirefox, APressBlacklistsTheSiteOfThePageInFrontAndLogsIt) {
    if (!FirefoxBrowser::installed()) GTEST_SKIP() << "firefox-esr is not installed";
    // A user who started Firefox after it moved new profiles to the XDG folder: no ~/.mozilla.
    Program program(QString(), {{"vtr_browser", "extension"}},
                    [](const QDir& folder) { folder.mkpath(QStringLiteral("config/mozilla")); });
    ASSERT_TRUE(runUntil([&] { return !program.mainWindow().isEmpty(); }));
    const std::string home = QFileInfo(program.file("vantrel")).path().toStdString();

    chromium_test::HttpServer server;
    server.page("/", std::string("<title>") + kTitle + "</title>front page");
    TempDir dir;
    // The hosts Firefox starts get the program's settings, as they would in the user's session.
    FirefoxBrowser firefox({home,
                            dir.path() + "profile",
                            {{"VANTREL_REGISTRY", program.file("registry.db").toStdString()},
                             {"XDG_CONFIG_HOME", program.file("config").toStdString()},
                             {"QT_QPA_PLATFORM", "xcb"}}});
    ASSERT_TRUE(firefox.ready()) << firefox.error();
    ASSERT_TRUE(firefox.installFromFile(program.file("browser-extension.xpi").toStdString(),
                                        kFirefoxExtensionId))
        << firefox.error();
    firefox.navigate(server.url("127.0.0.1", "/"));
    ASSERT_TRUE(showInFront());
    ASSERT_TRUE(runUntil([&] {
        return program.errors().contains("watched through the extension: firefox");
    })) << program.errors().toStdString();

    ASSERT_TRUE(firefox.pressToolbarButton(kFirefoxExtensionId));
    // Listed and logged in one step: once the list has the site, the kill is counted.
    EXPECT_TRUE(runUntil([&] {
        return readAll(program.file("blacklist.lis")).contains("127.0.0.1");
    })) << program.errors().toStdString();
    EXPECT_TRUE(program.terminate());
    EXPECT_EQ(program.storedValue("vtr_count").toInt(), 1);
}

}  // namespace
