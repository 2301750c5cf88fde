// The "Kill popup" button in Firefox ESR: the extension installed as README tells a user (the
// packed file the program writes, opened in Firefox), a click on its toolbar button, and the
// running Vantrel that the native-messaging host hands the press to. The test presses the
// button through Marionette in Firefox's own window context, as a click on it does.
//
// Vantrel does not see Firefox's tabs yet, so the running copy has a stand-in browser, and the
// site it blacklists is the page the stand-in shows in front.

#include <gtest/gtest.h>

#include <QFileInfo>

#include "platform/posix/posix_file_system.h"
#include "platform/webext/browser_extension.h"
#include "program_process.h"
#include "tests/e2e/chromium_test_support.h"
#include "tests/e2e/firefox_browser.h"

namespace {

using firefox_test::FirefoxBrowser;
using vantrel::webext::kFirefoxExtensionId;

TEST(BrowserButtonWithFirefox, APressHandsOverToTheRunningCopyThroughTheHost) {
    if (!FirefoxBrowser::installed()) GTEST_SKIP() << "firefox-esr is not installed";
    const QString site = QStringLiteral("firefox-press.example");
    // A user who started Firefox after it moved new profiles to the XDG folder: no ~/.mozilla.
    Program program(QStringLiteral("page:http://") + site + "/", {},
                    [](const QDir& folder) { folder.mkpath(QStringLiteral("config/mozilla")); });
    ASSERT_TRUE(runUntil([&] { return !program.mainWindow().isEmpty(); }));
    // With a stand-in browser the program writes no extension: the test writes what its start
    // writes for a real one, for the user's folders.
    const std::string folder = QFileInfo(program.file("vantrel")).path().toStdString() + "/";
    vantrel::posix::PosixFileSystem files;
    vantrel::webext::BrowserExtension(files, folder, program.file("vantrel").toStdString(),
                                      vantrel::webext::hostFolders(folder + "config", folder, ""))
        .registerButton({"Kill popup", "Kill popup", "Run Script", true});

    chromium_test::HttpServer server;
    server.page("/", "<title>Firefox front page</title>front page");
    TempDir dir;
    // The hosts Firefox starts get the program's settings, as they would in the user's session.
    FirefoxBrowser firefox({folder,
                            dir.path() + "profile",
                            {{"VANTREL_REGISTRY", program.file("registry.db").toStdString()},
                             {"XDG_CONFIG_HOME", program.file("config").toStdString()},
                             {"QT_QPA_PLATFORM", "xcb"}}});
    ASSERT_TRUE(firefox.ready()) << firefox.error();
    ASSERT_TRUE(firefox.installFromFile(program.file("browser-extension.xpi").toStdString(),
                                        kFirefoxExtensionId))
        << firefox.error();
    firefox.navigate(server.url("127.0.0.1", "/"));
    ASSERT_EQ(firefox.evaluate("return document.title;"), "Firefox front page");

    ASSERT_TRUE(firefox.pressToolbarButton(kFirefoxExtensionId));
    // Listed and logged in one step: once the list has the site, the kill is counted.
    EXPECT_TRUE(runUntil([&] { return readAll(program.file("blacklist.lis")).contains(site); }))
        << program.errors().toStdString();
    EXPECT_TRUE(program.terminate());
    EXPECT_EQ(program.storedValue("vtr_count").toInt(), 1);
}

}  // namespace
