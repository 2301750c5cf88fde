#include "platform/extension/composite_browser_shell.h"

#include <algorithm>
#include <map>

namespace vantrel::extension {

namespace {

class CompositeWindows : public BrowserWindows {
  public:
    explicit CompositeWindows(CompositeBrowserShell& shell) : shell_(shell) {}
    int Count() override { return int(shell_.windows().size()); }
    std::shared_ptr<WebBrowser> Item(int index) override {
        const auto all = shell_.windows();
        return index >= 0 && index < int(all.size()) ? all[size_t(index)] : nullptr;
    }

  private:
    CompositeBrowserShell& shell_;
};

}  // namespace

CompositeBrowserShell::CompositeBrowserShell(std::vector<BrowserShell*> shells)
    : shells_(std::move(shells)) {}

void CompositeBrowserShell::connect() {
    if (!collections_.empty()) {
        reconnectLost();
        return;
    }
    std::vector<std::unique_ptr<BrowserWindows>> collections;
    for (BrowserShell* shell : shells_) collections.push_back(shell->createWindows());
    collections_ = std::move(collections);
    for (size_t shell = 0; shell < collections_.size(); ++shell) {
        for (int i = 0; i < collections_[shell]->Count(); ++i) {
            if (auto window = collections_[shell]->Item(i))
                order_.emplace_back(shell, window->handle());
        }
    }
}

std::unique_ptr<BrowserWindows> CompositeBrowserShell::createWindows() {
    connect();
    return std::make_unique<CompositeWindows>(*this);
}

void CompositeBrowserShell::listenWindowRegistered(std::function<void()> onWindowRegistered) {
    connect();
    onRegistered_ = std::move(onWindowRegistered);
    for (size_t shell = 0; shell < shells_.size(); ++shell) {
        shells_[shell]->listenWindowRegistered([this, shell] {
            joined(shell);
            if (onRegistered_) onRegistered_();
        });
    }
}

void CompositeBrowserShell::listenConnectionLost(std::function<void()> onLost) {
    onLost_ = std::move(onLost);
    for (size_t shell = 0; shell < shells_.size(); ++shell) {
        shells_[shell]->listenConnectionLost([this, shell] {
            lost_.insert(shell);
            if (onLost_) onLost_();
        });
    }
}

void CompositeBrowserShell::reconnectLost() {
    for (auto it = lost_.begin(); it != lost_.end(); it = lost_.erase(it)) {
        const size_t shell = *it;
        auto collection = shells_[shell]->createWindows();  // throws: still lost
        std::erase_if(order_, [&](const auto& entry) { return entry.first == shell; });
        collections_[shell] = std::move(collection);
        for (int i = 0; i < collections_[shell]->Count(); ++i) {
            if (auto window = collections_[shell]->Item(i)) {
                order_.emplace_back(shell, window->handle());
            }
        }
    }
}

void CompositeBrowserShell::joined(size_t shell) {
    auto& collection = *collections_[shell];
    if (auto window = collection.Item(collection.Count() - 1)) {
        order_.emplace_back(shell, window->handle());
    }
}

std::vector<std::shared_ptr<WebBrowser>> CompositeBrowserShell::windows() {
    std::map<std::pair<size_t, WindowHandle>, std::shared_ptr<WebBrowser>> open;
    for (size_t shell = 0; shell < collections_.size(); ++shell) {
        for (int i = 0; i < collections_[shell]->Count(); ++i) {
            if (auto window = collections_[shell]->Item(i)) {
                open[{shell, window->handle()}] = std::move(window);
            }
        }
    }
    // Windows that have left are forgotten.
    std::erase_if(order_, [&](const auto& entry) { return !open.contains(entry); });
    std::vector<std::shared_ptr<WebBrowser>> result;
    for (const auto& entry : order_) result.push_back(open[entry]);
    return result;
}

}  // namespace vantrel::extension
