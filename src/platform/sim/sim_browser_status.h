#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "platform/browser_status.h"

namespace vantrel::sim {

// The watched browsers as a test sets them; changed() reports them as the platform would.
class SimBrowserStatus : public BrowserStatus {
  public:
    std::vector<WatchedBrowser> watchedBrowsers() override { return browsers; }
    void listenBrowsersChanged(std::function<void()> onChanged) override {
        onChanged_ = std::move(onChanged);
    }
    void changed() {
        if (onChanged_) onChanged_();
    }

    std::vector<WatchedBrowser> browsers;

  private:
    std::function<void()> onChanged_;
};

}  // namespace vantrel::sim
