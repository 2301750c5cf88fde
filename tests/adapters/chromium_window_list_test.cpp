#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/chromium/window_list.h"
#include "platform/sim/sim_event_loop.h"

using vantrel::BrowserEventSink;
using vantrel::WebBrowser;
using vantrel::chromium::WindowList;
using vantrel::sim::SimEventLoop;

namespace {

// A sink that sweeps on every navigation as the engine does: from the second window on, each
// window it sees is noted and closed.
class SweepingSink : public BrowserEventSink {
  public:
    explicit SweepingSink(WindowList& windows) : windows_(windows) {}

    void BeforeNavigate2(const std::shared_ptr<WebBrowser>&, const std::string&, bool&) override {
        const auto browsers = windows_.browsers();
        for (size_t index = 1; index < browsers.size(); ++index) {
            closed.push_back(browsers[index]->LocationURL());
            browsers[index]->Quit();
        }
    }
    void NewWindow2(bool&) override {}
    void DocumentComplete(const std::shared_ptr<WebBrowser>&, const std::string&) override {}

    std::vector<std::string> closed;

  private:
    WindowList& windows_;
};

struct ChromiumWindowList : ::testing::Test {
    SimEventLoop loop;
    std::shared_ptr<WindowList> windows = std::make_shared<WindowList>(loop, nullptr);
    SweepingSink sink{*windows};

    void navigateFirstWindow() {
        windows->beforeNavigate("main", "main", "http://site.test/next", [](bool) {});
    }
};

}  // namespace

TEST_F(ChromiumWindowList, EventsQueuedBeforeAClosedWindowDepartsNoLongerSeeIt) {
    windows->windowCreated("main", "http://site.test/", true, true);
    windows->windowCreated("pop1", "http://ads.test/1", false, false);
    windows->windowCreated("pop2", "http://ads.test/2", false, false);
    windows->browsers()[0]->advise(sink);

    // Two navigations in one main-loop turn: the first sweep closes both pop-ups, the second
    // sweep, queued before the closes, must neither see nor close them again.
    navigateFirstWindow();
    navigateFirstWindow();
    EXPECT_EQ(sink.closed, (std::vector<std::string>{"http://ads.test/1", "http://ads.test/2"}));
    EXPECT_EQ(windows->browsers().size(), 1u);

    loop.runPending();
    navigateFirstWindow();
    EXPECT_EQ(sink.closed.size(), 2u);
}
