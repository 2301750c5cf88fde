// Vantrel's extension in a fresh Firefox ESR profile, installed the way README tells a user to:
// the program writes browser-extension.xpi, the user opens it in Firefox and presses "Add".

#include <gtest/gtest.h>

#include "firefox_browser.h"
#include "platform/posix/posix_file_system.h"
#include "platform/webext/browser_extension.h"
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

}  // namespace
