// The page in front, with a headful Chromium on a private X display with a window manager.

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <algorithm>

#include "chromium_test_engine.h"
#include "chromium_test_support.h"
#include "x_desktop.h"

using namespace chromium_test;
using vantrel::chromium::ChromiumShell;
using namespace std::chrono_literals;

namespace {

// A plain window of another program (this test process), mapped and left to the caller.
class ForeignWindow {
  public:
    ForeignWindow() {
        connection_ = xcb_connect(nullptr, nullptr);
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        id_ = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, id_, screen->root, 0, 0, 300, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(connection_, id_);
        xcb_flush(connection_);
    }
    ~ForeignWindow() { xcb_disconnect(connection_); }
    std::string id() const { return std::to_string(id_); }

  private:
    xcb_connection_t* connection_;
    xcb_window_t id_;
};

TEST(ChromiumDesktop, ForegroundIsTheFocusedPageOnlyWhileTheBrowserIsInFront) {
    XDesktop desktop;
    if (!desktop.ready()) GTEST_SKIP() << "no Xvfb";
    TempDir dir;
    HttpServer server;
    server.page("/one", "one");
    server.page("/two", "two");
    server.page("/three", "three");
    vantrel::posix::StdEventLoop loop;
    ChromiumShell shell(loop, browserOptions(dir, false));
    TestEngine engine(shell);
    engine.connect();
    shell.connection().send("Target.createTarget",
                            {{"url", server.url("site.test", "/one")}, {"newWindow", true}});
    ASSERT_TRUE(runUntil(loop, [&] { return engine.count() == 2; }));
    const auto first = shell.createWindows()->Item(1)->handle();
    ASSERT_TRUE(runUntil(loop, [&] { return shell.foregroundWindow() == first; }))
        << "foreground " << shell.foregroundWindow();

    shell.connection().send("Target.createTarget",
                            {{"url", server.url("site.test", "/two")}, {"newWindow", true}});
    ASSERT_TRUE(runUntil(loop, [&] { return engine.count() == 3; }));
    const auto second = shell.createWindows()->Item(2)->handle();
    ASSERT_TRUE(runUntil(loop, [&] { return shell.foregroundWindow() == second; }));

    // Another site in the page in front: the document left behind does not take the focus away.
    PageDriver front(shell.connection(), "/two");
    const std::string three = server.url("other.test", "/three");
    shell.connection().send("Page.navigate", {{"url", three}}, front.sessionId());
    ASSERT_TRUE(runUntil(loop, [&] {
        return std::find(engine.completed.begin(), engine.completed.end(), three) !=
               engine.completed.end();
    }));
    runFor(loop, 500ms);
    EXPECT_EQ(shell.foregroundWindow(), second);

    // The address bar focused in the window in front: its page has no focus, yet the page of
    // that window is still the one in front.
    XDesktop::run({"xdotool", "key", "--clearmodifiers", "ctrl+l"});
    ASSERT_TRUE(runUntil(loop, [&] { return front.evaluate("document.hasFocus()") == false; }))
        << "the address bar never took the focus";
    runFor(loop, 200ms);
    EXPECT_EQ(shell.foregroundWindow(), second);

    ForeignWindow other;
    XDesktop::run({"xdotool", "windowactivate", "--sync", other.id()});
    EXPECT_TRUE(runUntil(loop, [&] { return shell.foregroundWindow() == 0; }));
}

}  // namespace
