// The "Kill popup" button in Firefox ESR, with the desktop program watching Firefox through the
// extension alone: the extension installed as README tells a user (the packed file the program
// writes, opened in Firefox), a press of its toolbar button or a choice of its item in the page's
// context menu with a page of a local server in front, and the running Vantrel that the
// native-messaging host hands the press to. The toolbar button is pressed through Marionette in
// Firefox's own window context, as a click on it does; the context menu is opened and its item
// chosen with the pointer on the X display.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <memory>

#include "platform/webext/browser_extension.h"
#include "program_process.h"
#include "tests/e2e/chromium_test_support.h"
#include "tests/e2e/firefox_browser.h"

namespace {

using firefox_test::FirefoxBrowser;
using firefox_test::ScreenPoint;
using vantrel::webext::kFirefoxExtensionId;

constexpr const char* kTitle = "Firefox front page";

// Brings the Firefox window showing the page to the front, as the user's click on it does.
bool showInFront() {
    return runUntil([] { return activateWindowNamed(QString::fromLatin1(kTitle)); });
}

void pointerClick(const ScreenPoint& at, const char* button) {
    xdotool({"mousemove", QString::number(at.x), QString::number(at.y), "click",
             QString::fromLatin1(button)});
}

// Vantrel watching Firefox, which shows a page of a local server in front.
class BrowserButtonWithFirefox : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!FirefoxBrowser::installed()) GTEST_SKIP() << "firefox-esr is not installed";
        // A user who started Firefox after it moved new profiles to the XDG folder: no
        // ~/.mozilla.
        program_ = std::make_unique<Program>(
            QString(), std::map<std::string, std::string>{{"vtr_browser", "extension"}},
            [](const QDir& folder) { folder.mkpath(QStringLiteral("config/mozilla")); });
        ASSERT_TRUE(runUntil([&] { return !program_->mainWindow().isEmpty(); }));
        const std::string home = QFileInfo(program_->file("vantrel")).path().toStdString();

        server_.page("/", std::string("<title>") + kTitle +
                              "</title><body style='height:400px'>front page</body>");
        // The hosts Firefox starts get the program's settings, as they would in the user's
        // session.
        firefox_ = std::make_unique<FirefoxBrowser>(firefox_test::FirefoxOptions{
            home,
            dir_.path() + "profile",
            {{"VANTREL_REGISTRY", program_->file("registry.db").toStdString()},
             {"XDG_CONFIG_HOME", program_->file("config").toStdString()},
             {"QT_QPA_PLATFORM", "xcb"}}});
        ASSERT_TRUE(firefox_->ready()) << firefox_->error();
        ASSERT_TRUE(firefox_->installFromFile(program_->file("browser-extension.xpi").toStdString(),
                                              kFirefoxExtensionId))
            << firefox_->error();
        firefox_->navigate(server_.url("127.0.0.1", "/"));
        ASSERT_TRUE(showInFront());
        ASSERT_TRUE(runUntil([&] {
            return program_->errors().contains("watched through the extension: firefox");
        })) << program_->errors().toStdString();
    }

    // What one press does: the page's site on the blacklist, and the kill counted.
    void expectThePageBlacklistedAndCounted() {
        // Listed and logged in one step: once the list has the site, the kill is counted.
        EXPECT_TRUE(runUntil([&] {
            return readAll(program_->file("blacklist.lis")).contains("127.0.0.1");
        })) << program_->errors().toStdString();
        EXPECT_TRUE(program_->terminate());
        EXPECT_EQ(program_->storedValue("vtr_count").toInt(), 1);
    }

    std::unique_ptr<Program> program_;
    chromium_test::HttpServer server_;
    TempDir dir_;
    std::unique_ptr<FirefoxBrowser> firefox_;
};

TEST_F(BrowserButtonWithFirefox, APressBlacklistsTheSiteOfThePageInFrontAndLogsIt) {
    ASSERT_TRUE(firefox_->pressToolbarButton(kFirefoxExtensionId));
    expectThePageBlacklistedAndCounted();
}

TEST_F(BrowserButtonWithFirefox, ItsItemChosenInThePagesContextMenuIsAPress) {
    pointerClick(firefox_->onScreen("body"), "3");
    std::optional<ScreenPoint> item;
    ASSERT_TRUE(runUntil([&] {
        item = firefox_->contextMenuItem(kFirefoxExtensionId, "Kill popup");
        return item.has_value();
    })) << "the page's context menu never showed the extension's item";
    pointerClick(*item, "1");
    expectThePageBlacklistedAndCounted();
}

}  // namespace
