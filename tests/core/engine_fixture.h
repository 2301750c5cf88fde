#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/sim/sim_world.h"
#include "shell/vantrel_form.h"

namespace vantrel::test {

// The main window started on a simulated platform, with first-run settings (every kill option
// on, CTRL idle mode on, hot keys E and B) and no browser window yet.
class EngineTest : public ::testing::Test {
  protected:
    EngineTest() : form(world.platform()) {}

    void SetUp() override { ASSERT_TRUE(form.FormCreate()); }

    std::shared_ptr<sim::SimBrowser> open(const std::string& name, const std::string& url,
                                          int toolBar = 1, bool menuBar = true) {
        return world.browsers.open(name, url, toolBar, menuBar);
    }
    // A pop-up shaped window: no tool bar, no menu bar.
    std::shared_ptr<sim::SimBrowser> openPopup(const std::string& name, const std::string& url) {
        return open(name, url, 0, false);
    }
    void settle() { world.loop.runPending(); }
    std::vector<std::string> loggedAddresses() const {
        std::vector<std::string> out;
        for (const auto& row : form.killLog.ListViewLog.rows()) out.push_back(row.at(1));
        return out;
    }

    sim::SimWorld world;
    VantrelForm form;
};

}  // namespace vantrel::test
