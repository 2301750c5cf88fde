#include <gtest/gtest.h>

#include "platform/sim/sim_browser.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_event_loop.h"

using namespace vantrel;
using namespace vantrel::sim;

TEST(SimDocument, MarkupFollowsWritesToSrcAndHref) {
    SimDocument doc(R"(<p>x</p><A HREF='http://ads.example/c?a=1&amp;b=2' target=_blank>)"
                    R"(<IMG src="http://ads.example/b.gif" WIDTH=468 height="60"></A><a name=top>)"
                    R"(<area href="/map">)");
    ASSERT_EQ(doc.imageCount(), 1u);
    ASSERT_EQ(doc.linkCount(), 2u);  // the named anchor is no link
    EXPECT_EQ(doc.linkHref(0), "http://ads.example/c?a=1&b=2");
    EXPECT_FALSE(doc.linkIsAnchor(1));
    EXPECT_EQ(doc.bodyOuterHTML(),
              "<body><p>x</p><a href=\"http://ads.example/c?a=1&amp;b=2\" target=\"_blank\">"
              "<img src=\"http://ads.example/b.gif\" width=\"468\" height=\"60\"></A>"
              "<a name=top><area href=\"/map\"></body>");

    doc.setLinkHref(0, "http://home.example/");
    doc.setImageSrc(0, "/opt/vantrel/r468x60.gif");
    doc.setImageAlt(0, "removed \"x\"");
    EXPECT_EQ(doc.bodyOuterHTML(),
              "<body><p>x</p><a href=\"http://home.example/\" target=\"_blank\">"
              "<img src=\"/opt/vantrel/r468x60.gif\" width=\"468\" height=\"60\" "
              "alt=\"removed &quot;x&quot;\"></A><a name=top><area href=\"/map\"></body>");
    EXPECT_THROW(doc.setLinkHref(1, "x"), BrowserError);  // an area is not an anchor
}

TEST(SimDocument, FailingCallsThrowForTheirElementOnly) {
    SimDocument doc("<img src=a width=1 height=1><img src=b width=2 height=2>");
    doc.fail(DocCall::ImageWidth, 1);
    EXPECT_EQ(doc.imageWidth(0), 1);
    EXPECT_THROW(doc.imageWidth(1), BrowserError);
    EXPECT_THROW(doc.imageSrc(2), BrowserError);
    EXPECT_EQ(doc.calls(DocCall::ImageWidth), 2);
}

TEST(SimBrowserShell, QuitTakesEffectAfterTheCurrentEvent) {
    SimEventLoop loop;
    SimBrowserShell shell(loop);
    int registered = 0;
    shell.listenWindowRegistered([&] { ++registered; });
    shell.open("A", "http://a.example/");
    auto b = shell.open("B", "http://b.example/", 0, false);
    EXPECT_EQ(registered, 2);
    auto windows = shell.createWindows();
    ASSERT_EQ(windows->Count(), 2);
    windows->Item(1)->Quit();
    EXPECT_EQ(windows->Count(), 2);  // still closing
    loop.runPending();
    EXPECT_EQ(windows->Count(), 1);
    EXPECT_EQ(windows->Item(1), nullptr);
    EXPECT_EQ(shell.closed, std::vector<std::string>{"B"});
    EXPECT_FALSE(shell.isOpen("B"));
}

TEST(SimDesktop, HotKeysHeldElsewhereAreRefusedAndTrayKeepsOneEntry) {
    SimDesktop desktop;
    const int id = desktop.addAtom("VTR_hotkey");
    EXPECT_EQ(desktop.addAtom("VTR_hotkey"), id);
    desktop.heldByOthers.insert({3, 'B'});
    EXPECT_FALSE(desktop.registerHotKey(id, 3, 'B'));
    EXPECT_TRUE(desktop.registerHotKey(id, 3, 'E'));
    EXPECT_TRUE(desktop.trayAdd(TrayIcon::Tray, "Vantrel"));
    EXPECT_FALSE(desktop.trayAdd(TrayIcon::Tray1, "Vantrel"));
    EXPECT_TRUE(desktop.trayModify(TrayIcon::StopIcon));
    EXPECT_EQ(desktop.trayIcon, TrayIcon::StopIcon);
}
