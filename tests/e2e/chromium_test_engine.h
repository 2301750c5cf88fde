#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/browser.h"

namespace chromium_test {

// A stand-in for the engine with the few decisions the adapter tests need: navigations to
// "/ads/" are cancelled, and every navigation sweeps away pop-up shaped windows.
class TestEngine : public vantrel::BrowserEventSink {
  public:
    explicit TestEngine(vantrel::BrowserShell& shell) : shell_(shell) {}

    // As the program connects: every window now, and each newest one as it registers.
    void connect() {
        auto windows = shell_.createWindows();
        for (int i = 0; i < windows->Count(); ++i) windows->Item(i)->advise(*this);
        shell_.listenWindowRegistered([this] {
            ++registered;
            auto now = shell_.createWindows();
            if (now->Count() > 0) now->Item(now->Count() - 1)->advise(*this);
        });
    }

    void BeforeNavigate2(const std::shared_ptr<vantrel::WebBrowser>& pDisp, const std::string& URL,
                         bool& Cancel) override {
        navigations.push_back(URL);
        lastNavigator = pDisp;
        if (URL.find("/ads/") != std::string::npos) {
            Cancel = true;
            cancelled.push_back(URL);
        }
        if (sweeps) sweep();
    }
    void NewWindow2(bool& Cancel) override {
        ++newWindows;
        Cancel = cancelNewWindows;
    }
    void DocumentComplete(const std::shared_ptr<vantrel::WebBrowser>& pDisp,
                          const std::string& URL) override {
        completed.push_back(URL);
        // Like the engine, pages of the browser's own (the first about:blank) are not scanned.
        if (onComplete && URL.rfind("http", 0) == 0) onComplete(pDisp, URL);
    }

    void sweep() {
        auto windows = shell_.createWindows();
        for (int i = 0; i < windows->Count(); ++i) {
            auto w = windows->Item(i);
            if (w->ToolBar() == 0 || !w->MenuBar()) {
                killed.push_back(w->LocationURL());
                w->Quit();
            }
        }
    }

    int count() { return shell_.createWindows()->Count(); }

    bool sweeps = true;
    bool cancelNewWindows = false;
    int registered = 0;
    int newWindows = 0;
    std::vector<std::string> navigations, cancelled, completed, killed;
    std::shared_ptr<vantrel::WebBrowser> lastNavigator;
    std::function<void(const std::shared_ptr<vantrel::WebBrowser>&, const std::string&)> onComplete;

  private:
    vantrel::BrowserShell& shell_;
};

}  // namespace chromium_test
