#pragma once

#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "platform/browser.h"

namespace vantrel::extension {

// Several browser shells as one collection (the DevTools adapter beside the extension
// adapter): every window in the order it joined, so the newest is always the last, as the
// engine expects when one registers. The shells' window handles must not meet.
class CompositeBrowserShell : public BrowserShell {
  public:
    explicit CompositeBrowserShell(std::vector<BrowserShell*> shells);

    // Throws BrowserError when one of the shells cannot be reached.
    std::unique_ptr<BrowserWindows> createWindows() override;
    void listenWindowRegistered(std::function<void()> onWindowRegistered) override;
    // Any shell's loss; that shell is reached afresh by the next createWindows().
    void listenConnectionLost(std::function<void()> onLost) override;

    // The windows of every shell, in the order they joined.
    std::vector<std::shared_ptr<WebBrowser>> windows();

  private:
    // Each shell's collection, made at the first use; the windows open then join in shell order.
    void connect();
    void joined(size_t shell);
    // A lost shell's new collection replaces the old; its windows join anew.
    void reconnectLost();

    std::vector<BrowserShell*> shells_;
    std::vector<std::unique_ptr<BrowserWindows>> collections_;
    std::vector<std::pair<size_t, WindowHandle>> order_;  // shell, handle
    std::function<void()> onRegistered_;
    std::function<void()> onLost_;
    std::set<size_t> lost_;
};

}  // namespace vantrel::extension
