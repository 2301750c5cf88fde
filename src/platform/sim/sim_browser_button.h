#pragma once

#include <vector>

#include "common/error.h"
#include "platform/browser_button.h"

namespace vantrel::sim {

// The browser button in memory: a test sees every registration and can make writing it fail.
class SimBrowserButton : public BrowserButton {
  public:
    void registerButton(const ToolbarButton& button) override {
        if (failWrites) throw Error("Cannot write file \"/opt/vantrel/browser-extension/\"");
        registered.push_back(button);
    }

    std::vector<ToolbarButton> registered;
    bool failWrites = false;
};

}  // namespace vantrel::sim
