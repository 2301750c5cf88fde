// Firefox ESR under the tests' control, and Vantrel's extension in a fresh profile installed the
// way README tells a user to: the program writes browser-extension.xpi, the user opens it in
// Firefox and presses "Add".

#include <gtest/gtest.h>

#include "firefox_browser.h"
#include "platform/posix/posix_file_system.h"
#include "platform/webext/browser_extension.h"
#include "test_browser.h"
#include "tests/adapters/temp_dir.h"
#include "x_desktop.h"

namespace {

using firefox_test::FirefoxBrowser;
using vantrel::webext::kFirefoxExtensionId;

TEST(FirefoxExtension, InstalledFromThePackedFileItIsEnabledAndStaysAfterARestart) {
    if (!FirefoxBrowser::installed()) GTEST_SKIP() << "firefox-esr is not installed";
    chromium_test::XDesktop desktop;
    ASSERT_TRUE(desktop.ready());
    TempDir dir;
    // The extension as the program writes it at its start.
    const std::string program = dir.path() + "program/";
    vantrel::posix::PosixFileSystem files;
    vantrel::webext::BrowserExtension(files, program, program + "vantrel", {})
        .registerButton({"Kill popup", "Kill popup", "Run Script", true});

    FirefoxBrowser firefox({dir.path() + "home", dir.path() + "profile", {}});
    ASSERT_TRUE(firefox.ready()) << firefox.error();
    std::printf("firefox-esr %s under control %lld ms after its start\n", firefox.version().c_str(),
                static_cast<long long>(firefox.startupTime().count()));
    EXPECT_FALSE(firefox.addon(kFirefoxExtensionId).has_value());

    ASSERT_TRUE(
        firefox.installFromFile(vantrel::webext::extensionPackage(program), kFirefoxExtensionId))
        << firefox.error();
    const auto addon = firefox.addon(kFirefoxExtensionId);
    ASSERT_TRUE(addon.has_value());
    EXPECT_EQ(addon->name, "Vantrel");
    EXPECT_TRUE(addon->active);
    EXPECT_TRUE(addon->inProfile);
    EXPECT_FALSE(addon->temporary);
    EXPECT_EQ(firefox.toolbarButton(kFirefoxExtensionId), "Kill popup");

    // Installed for good, unlike an add-on loaded from about:debugging.
    firefox.restart();
    ASSERT_TRUE(firefox.ready()) << firefox.error();
    const auto again = firefox.addon(kFirefoxExtensionId);
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(again->active);
    EXPECT_EQ(firefox.toolbarButton(kFirefoxExtensionId), "Kill popup");
}

// What the browser tests need of the driver: a page loaded, a script's value, a user's click on
// a link, and the windows it opened with their kind.
TEST(FirefoxBrowser, AClickOnALinkOpensThePopUpWindowThePageAsksFor) {
    if (!FirefoxBrowser::installed()) GTEST_SKIP() << "firefox-esr is not installed";
    chromium_test::XDesktop desktop;
    ASSERT_TRUE(desktop.ready());
    chromium_test::HttpServer server;
    server.page("/", R"(<title>Opener</title>
        <a id="open" href="#" onclick="window.open('/popup', 'p', 'width=300,height=200');
                                       return false;">open</a>)");
    server.page("/popup", "<title>Pop-up</title>pop-up");
    TempDir dir;
    FirefoxBrowser firefox({dir.path() + "home", dir.path() + "profile", {}});
    ASSERT_TRUE(firefox.ready()) << firefox.error();

    // Named hosts reach the local server too.
    firefox.navigate(server.url("opener.test", "/"));
    EXPECT_EQ(firefox.evaluate("return document.title;"), "Opener");
    ASSERT_EQ(firefox.windows().size(), 1u);
    firefox.click("#open");
    std::vector<firefox_test::BrowserWindow> windows;
    EXPECT_TRUE(chromium_test::eventually([&] {
        windows = firefox.windows();
        return windows.size() == 2 && !windows[1].tabs.empty() &&
               windows[1].tabs[0].ends_with("/popup");
    })) << windows.size();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_FALSE(windows[0].popup);
    EXPECT_TRUE(windows[1].popup);
    EXPECT_TRUE(server.requested("/popup"));
}

}  // namespace
