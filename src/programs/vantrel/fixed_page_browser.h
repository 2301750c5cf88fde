#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/browser.h"

namespace vantrel {

// A stand-in for Chromium when testing the desktop side (VANTREL_BROWSER): no window at all,
// or one ordinary window that is always in front and shows a fixed address, so the hot keys
// and the browser button have a site to act on.
class FixedPageBrowser : public BrowserShell {
  public:
    static constexpr WindowHandle kWindow = 1;

    explicit FixedPageBrowser(std::optional<std::string> address) {
        if (address) window_ = std::make_shared<Window>(std::move(*address));
    }

    std::unique_ptr<BrowserWindows> createWindows() override {
        return std::make_unique<Windows>(window_);
    }
    void listenWindowRegistered(std::function<void()>) override {}
    WindowHandle foregroundWindow() const { return window_ ? kWindow : 0; }

  private:
    class Window : public WebBrowser {
      public:
        explicit Window(std::string address) : address_(std::move(address)) {}
        WindowHandle handle() override { return kWindow; }
        std::string LocationURL() override { return address_; }
        int ToolBar() override { return 1; }
        bool MenuBar() override { return true; }
        void Quit() override {}
        std::shared_ptr<PageDocument> Document() override { throw BrowserError("no document"); }
        std::uint32_t advise(BrowserEventSink&) override { return 0; }

      private:
        std::string address_;
    };

    class Windows : public BrowserWindows {
      public:
        explicit Windows(std::shared_ptr<Window> window) : window_(std::move(window)) {}
        int Count() override { return window_ ? 1 : 0; }
        std::shared_ptr<WebBrowser> Item(int index) override {
            return index == 0 ? window_ : nullptr;
        }

      private:
        std::shared_ptr<Window> window_;
    };

    std::shared_ptr<Window> window_;
};

}  // namespace vantrel
