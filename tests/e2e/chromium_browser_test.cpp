// The adapter against a real headless Chromium, pages served on loopback.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "chromium_browser_fixture.h"
#include "platform/chromium/chromium_process.h"
#include "platform/chromium/page_scripts.h"

using namespace chromium_test;
using vantrel::BrowserError;
using vantrel::chromium::ChromiumShell;
using namespace std::chrono_literals;

namespace {

TEST_F(ChromiumBrowser, AdLinkClickedIsCancelledAndThePageStays) {
    server.page("/", "<a id=ad href='/ads/offer' style='display:block;height:50px'>offer</a>");
    load("site.test", "/");
    driver->click("#ad");
    ASSERT_TRUE(runUntil(loop, [&] { return !engine->cancelled.empty(); }));
    runFor(loop, 300ms);
    EXPECT_EQ(engine->cancelled.size(), 1u);
    EXPECT_FALSE(server.requested("/ads/offer"));
    EXPECT_EQ(driver->evaluate("location.pathname"), "/");
    EXPECT_EQ(driver->evaluate("!!document.getElementById('ad')"), true);
    auto windows = shell->createWindows();
    ASSERT_EQ(windows->Count(), 1);
    EXPECT_EQ(windows->Item(0)->LocationURL(), server.url("site.test", "/"));
}

TEST_F(ChromiumBrowser, ClickOpenedPopUpIsClosedBeforeItsRequestLeaves) {
    server.page("/", "<button id=b style='width:200px;height:50px' onclick=\"window.open('" +
                         server.url("pop.test", "/popup") +
                         "', 'p', 'width=300,height=200')\">open</button>");
    server.page("/popup", "pop-up");
    load("site.test", "/");
    driver->click("#b");
    ASSERT_TRUE(runUntil(loop, [&] { return engine->newWindows == 1 && engine->registered == 1; }));
    ASSERT_TRUE(runUntil(loop, [&] { return !engine->killed.empty() && engine->count() == 1; }));
    runFor(loop, 500ms);
    EXPECT_FALSE(server.requested("/popup"));
    EXPECT_EQ(engine->count(), 1);
}

TEST_F(ChromiumBrowser, ClickOpenedFullWindowStays) {
    server.page("/", "<button id=b style='width:200px;height:50px' onclick=\"window.open('" +
                         server.url("site.test", "/full") + "')\">open</button>");
    server.page("/full", "a full window");
    load("site.test", "/");
    driver->click("#b");
    const std::string full = server.url("site.test", "/full");
    ASSERT_TRUE(runUntil(loop, [&] { return anyContains(engine->completed, full); }));
    EXPECT_TRUE(engine->killed.empty());
    auto windows = shell->createWindows();
    ASSERT_EQ(windows->Count(), 2);
    EXPECT_EQ(windows->Item(1)->LocationURL(), full);
    EXPECT_EQ(windows->Item(1)->ToolBar(), 1);
    EXPECT_TRUE(windows->Item(1)->MenuBar());
    EXPECT_NE(windows->Item(0)->handle(), windows->Item(1)->handle());
    // A window asked to close stays in the collection for the rest of the handler that closed
    // it, then leaves, so the next sweep cannot close (and log) it a second time while the
    // browser is still closing it.
    auto opened = windows->Item(1);
    opened->Quit();
    EXPECT_EQ(windows->Count(), 2);
    runFor(loop, 1ms);
    EXPECT_EQ(windows->Count(), 1);
    EXPECT_EQ(windows->Item(0)->LocationURL(), server.url("site.test", "/"));
    // Until the browser reports it gone, and no longer after.
    EXPECT_EQ(opened->LocationURL(), full);
    EXPECT_TRUE(runUntil(loop, [&] {
        try {
            opened->LocationURL();
            return false;
        } catch (const BrowserError&) {
            return true;
        }
    }));
}

TEST_F(ChromiumBrowser, SnapshotHasRenderedSizesAndAPlaceholderWriteShowsInThePage) {
    server.page("/", "<p>text</p><a id=l href='" + server.url("ads.test", "/click") +
                         "'><img id=banner src='" + server.url("ads.test", "/b.gif") +
                         "' width=468 height=60></a>"
                         "<img src='/small.gif' style='width:20px;height:10px'>"
                         "<map name=m><area href='/area' shape=rect coords='0,0,1,1'></map>");
    server.page("/b.gif", kGif, "image/gif");
    server.page("/small.gif", kGif, "image/gif");
    const std::string placeholder = dir.path() + "r468x60.gif";
    engine->onComplete = [&](const std::shared_ptr<vantrel::WebBrowser>& pDisp,
                             const std::string&) {
        auto doc = pDisp->Document();
        ASSERT_EQ(doc->imageCount(), 2u);
        EXPECT_EQ(doc->imageSrc(0), server.url("ads.test", "/b.gif"));
        EXPECT_EQ(doc->imageWidth(0), 468);
        EXPECT_EQ(doc->imageHeight(0), 60);
        EXPECT_EQ(doc->imageWidth(1), 20);
        EXPECT_EQ(doc->imageHeight(1), 10);
        ASSERT_EQ(doc->linkCount(), 2u);
        EXPECT_TRUE(doc->linkIsAnchor(0));
        EXPECT_FALSE(doc->linkIsAnchor(1));
        EXPECT_THROW(doc->linkHref(1), BrowserError);
        EXPECT_THROW(doc->imageSrc(2), BrowserError);
        EXPECT_NE(doc->bodyOuterHTML().find("b.gif"), std::string::npos);
        doc->setLinkHref(0, "http://vantrel.test/");
        doc->setImageSrc(0, placeholder);
        doc->setImageWidth(0, doc->imageWidth(0));
        doc->setImageHeight(0, doc->imageHeight(0));
        doc->setImageAlt(0, "This image has been removed by Vantrel!");
        // The engine's later reads see its own writes at once.
        EXPECT_EQ(doc->imageSrc(0), placeholder);
        EXPECT_EQ(doc->linkHref(0), "http://vantrel.test/");
    };
    load("site.test", "/");
    ASSERT_TRUE(runUntil(loop, [&] {
        return driver->evaluate("document.getElementById('banner').alt") ==
               "This image has been removed by Vantrel!";
    }));
    EXPECT_EQ(driver->evaluate("document.getElementById('banner').src.startsWith("
                               "'data:image/gif;base64,')"),
              true);
    EXPECT_EQ(
        driver->evaluate("(() => { const i = document.getElementById('banner'); "
                         "return i.complete && i.naturalWidth === 1 && i.width === 468; })()"),
        true);
    EXPECT_EQ(driver->evaluate("document.getElementById('l').href"), "http://vantrel.test/");
    // A later read of the page (as at a later document-complete) sees the engine's address.
    const auto context = shell->connection().call(
        "Page.createIsolatedWorld",
        {{"frameId", driver->targetId()}, {"worldName", vantrel::chromium::kWorldName}},
        driver->sessionId());
    const auto again =
        shell->connection().call("Runtime.evaluate",
                                 {{"expression", vantrel::chromium::snapshotScript()},
                                  {"contextId", context["executionContextId"]},
                                  {"returnByValue", true}},
                                 driver->sessionId());
    const auto snapshot = vantrel::page::parseSnapshot(again["result"]["value"]);
    ASSERT_EQ(snapshot.images.size(), 2u);
    EXPECT_EQ(snapshot.images[0].src, placeholder);
    EXPECT_EQ(snapshot.images[0].width, 468);
    EXPECT_NE(snapshot.bodyOuterHTML.find("r468x60.gif"), std::string::npos);
}

TEST_F(ChromiumBrowser, FrameNavigationsToAdAddressesAreCancelled) {
    server.page("/",
                "<iframe id=same src='/inner'></iframe>"
                "<iframe id=cross src='" +
                    server.url("other.test", "/inner") + "'></iframe>");
    server.page("/inner", "inner");
    load("site.test", "/");
    ASSERT_TRUE(runUntil(loop, [&] {
        return std::count_if(engine->completed.begin(), engine->completed.end(),
                             [](const std::string& u) { return u.find("/inner") != u.npos; }) == 2;
    }));
    driver->evaluate("document.getElementById('same').src = '/ads/same'");
    driver->evaluate("document.getElementById('cross').src = '" +
                     server.url("other.test", "/ads/cross") + "'");
    ASSERT_TRUE(runUntil(loop, [&] { return engine->cancelled.size() == 2; }));
    runFor(loop, 300ms);
    EXPECT_FALSE(server.requested("/ads/same"));
    EXPECT_FALSE(server.requested("/ads/cross"));
    // The frame reports its own address, and the window it lives in.
    ASSERT_TRUE(engine->lastNavigator);
    EXPECT_EQ(engine->lastNavigator->handle(), shell->createWindows()->Item(0)->handle());
    EXPECT_EQ(driver->evaluate("location.pathname"), "/");
}

TEST_F(ChromiumBrowser, WindowOpenedAfterStartIsWatched) {
    server.page("/later", "<a id=ad href='/ads/x' style='display:block;height:40px'>x</a>");
    shell->connection().send("Target.createTarget", {{"url", server.url("site.test", "/later")}});
    ASSERT_TRUE(runUntil(loop, [&] {
        return engine->registered == 1 &&
               anyContains(engine->completed, server.url("site.test", "/later"));
    }));
    EXPECT_EQ(engine->count(), 2);
    PageDriver later(shell->connection(), "/later");
    later.click("#ad");
    ASSERT_TRUE(runUntil(loop, [&] { return engine->cancelled.size() == 1; }));
}

TEST_F(ChromiumBrowser, NewWindowCancelledByTheEngineNeverLoads) {
    engine->sweeps = false;
    engine->cancelNewWindows = true;
    server.page("/", "<button id=b style='width:200px;height:50px' onclick=\"window.open('" +
                         server.url("site.test", "/opened") + "')\">open</button>");
    load("site.test", "/");
    driver->click("#b");
    ASSERT_TRUE(runUntil(loop, [&] { return engine->newWindows == 1 && engine->registered == 1; }));
    ASSERT_TRUE(runUntil(loop, [&] { return engine->count() == 1; }));
    EXPECT_FALSE(server.requested("/opened"));
}

TEST_F(ChromiumBrowser, BrowserKilledMidRunFailsCallsAndNothingCrashes) {
    server.page("/", "page");
    load("site.test", "/");
    auto window = shell->createWindows()->Item(0);
    auto doc = window->Document();
    shell->process()->kill();
    ASSERT_TRUE(runUntil(loop, [&] { return engine->count() == 0; }));
    EXPECT_THROW(window->LocationURL(), BrowserError);
    EXPECT_THROW(window->Quit(), BrowserError);
    EXPECT_THROW(window->Document(), BrowserError);
    EXPECT_EQ(window->advise(*engine), 0u);
    // The snapshot taken before is still readable; writes go nowhere.
    EXPECT_EQ(doc->imageCount(), 0u);
    EXPECT_FALSE(shell->connection().isOpen());
    EXPECT_THROW(shell->connection().call("Browser.getVersion"), BrowserError);
    EXPECT_EQ(shell->foregroundWindow(), 0u);
}

TEST(ChromiumConnect, FailsWithBrowserErrorWhenTheBrowserCannotStart) {
    TempDir dir;
    vantrel::posix::StdEventLoop loop;
    auto options = browserOptions(dir, true);
    options.launch.command = dir.path() + "no-such-browser";
    ChromiumShell missing(loop, options);
    EXPECT_THROW(missing.createWindows(), BrowserError);
    // A program that starts but never speaks the protocol.
    options.launch.command = "true";
    ChromiumShell silent(loop, options);
    EXPECT_THROW(silent.createWindows(), BrowserError);
}

TEST(ChromiumConnect, ABrowserThatClosedItsPipesIsAFailedSendNotASignal) {
    // Writing to a pipe nobody reads raises SIGPIPE, which would end the whole program.
    TempDir dir;
    const std::string deaf = dir.path() + "deaf-browser";
    std::ofstream(deaf) << "#!/bin/sh\nexec 3<&- 4>&-\nexec sleep 30\n";
    std::filesystem::permissions(deaf, std::filesystem::perms::owner_all);
    vantrel::chromium::LaunchOptions launch;
    launch.command = deaf;
    launch.terminateOnClose = true;
    vantrel::chromium::ChromiumProcess process(launch);
    // The end of its output shows that its command pipe is closed too.
    EXPECT_EQ(process.read(), std::nullopt);
    EXPECT_FALSE(process.send(R"({"id":1,"method":"Browser.getVersion"})"));
}

}  // namespace
