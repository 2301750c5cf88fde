#include <gtest/gtest.h>

#include "platform/sim/sim_world.h"
#include "shell/vantrel_form.h"

using namespace vantrel;

TEST(BrowserButton, EveryStartWritesTheKillPopupButtonBeforeTheBrowsersStart) {
    sim::SimWorld world;
    // A browser that cannot be reached still finds the button when it is started next.
    world.browsers.failing.insert(sim::BrowserCall::CreateWindows);
    {
        VantrelForm form(world.platform());
        EXPECT_FALSE(form.FormCreate());
    }
    world.browsers.failing.clear();
    VantrelForm form(world.platform());
    EXPECT_TRUE(form.FormCreate());
    ASSERT_EQ(world.browserButton.registered.size(), 2u);
    const ToolbarButton& button = world.browserButton.registered.back();
    EXPECT_EQ(button.buttonText, "Kill popup");
    EXPECT_EQ(button.menuText, "Kill popup");
    EXPECT_EQ(button.statusBarText, "Run Script");
    EXPECT_TRUE(button.defaultVisible);
}

TEST(BrowserButton, AFailedWriteIsShownAndStartUpGoesOn) {
    sim::SimWorld world;
    world.browserButton.failWrites = true;
    auto page = world.browsers.open("a", "http://a.example/");
    VantrelForm form(world.platform());
    EXPECT_TRUE(form.FormCreate());
    ASSERT_EQ(world.desktop.messages.size(), 1u);
    EXPECT_EQ(world.desktop.messages[0].text,
              "Cannot write file \"/opt/vantrel/browser-extension/\"");
    EXPECT_EQ(page->sinks.size(), 1u);
    EXPECT_TRUE(world.desktop.trayPresent);
    EXPECT_FALSE(world.desktop.hotKeys.empty());
}
