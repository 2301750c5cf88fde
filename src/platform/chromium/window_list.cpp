#include "platform/chromium/window_list.h"

#include <algorithm>
#include <utility>

namespace vantrel::chromium {

namespace {

// A window or one of its frames. A frame answers with its window's handle and bars.
class ChromiumBrowser : public WebBrowser {
  public:
    ChromiumBrowser(std::shared_ptr<WindowState> state, std::string frameId,
                    std::weak_ptr<BrowserControl> control, EventLoop& loop)
        : state_(std::move(state)),
          frameId_(std::move(frameId)),
          control_(std::move(control)),
          loop_(loop) {}

    WindowHandle handle() override { return live().handle; }
    std::string LocationURL() override {
        auto& s = live();
        if (frameId_ == s.targetId) return s.url;
        auto frame = s.frames.find(frameId_);
        return frame == s.frames.end() ? std::string() : frame->second.url;
    }
    int ToolBar() override { return live().toolbar ? 1 : 0; }
    bool MenuBar() override { return live().menubar; }
    // The window stays in the collection until the handler that closed it has returned, so
    // the indexes of a sweep hold for the whole sweep; the next sweep no longer sees it.
    void Quit() override {
        auto& s = live();
        if (s.quitting) return;
        s.quitting = true;
        if (auto control = control_.lock()) control->quit(s.targetId);
        loop_.post([state = state_] { state->departed = true; });
    }
    std::shared_ptr<PageDocument> Document() override {
        auto& s = live();
        auto frame = s.frames.find(frameId_);
        if (frame == s.frames.end() || !frame->second.document) {
            throw BrowserError("the page has no finished document");
        }
        return frame->second.document;
    }
    std::uint32_t advise(BrowserEventSink& sink) override {
        if (!state_->alive) return 0;
        state_->sink = &sink;
        return std::uint32_t(state_->handle);
    }

  private:
    WindowState& live() {
        // A crashed page still answers what is known of it and can be closed; it has no
        // document.
        if (!state_->alive) throw BrowserError("the window is closed");
        return *state_;
    }

    std::shared_ptr<WindowState> state_;
    std::string frameId_;
    std::weak_ptr<BrowserControl> control_;
    EventLoop& loop_;
};

}  // namespace

WindowList::WindowList(EventLoop& loop, std::shared_ptr<page::PlaceholderImages> placeholders,
                       WindowHandle firstHandle)
    : loop_(loop), placeholders_(std::move(placeholders)), nextHandle_(firstHandle) {}

std::vector<std::shared_ptr<WebBrowser>> WindowList::browsers() {
    std::vector<std::shared_ptr<WebBrowser>> result;
    for (const auto& state : windows_) {
        if (!state->departed) result.push_back(browserFor(state, state->targetId));
    }
    return result;
}

WindowHandle WindowList::focusedWindow(unsigned frontWindow) const {
    if (auto state = find(focusedTarget_)) return state->handle;
    const WindowState* last = nullptr;
    for (const auto& state : windows_) {
        if (state->departed || state->focusedAt == 0 || state->frontWindow != frontWindow) continue;
        if (!last || state->focusedAt > last->focusedAt) last = state.get();
    }
    return last && frontWindow ? last->handle : 0;
}

void WindowList::departClosedWindows() {
    for (const auto& state : windows_) {
        if (state->quitting) state->departed = true;
    }
}

std::shared_ptr<WindowState> WindowList::find(const std::string& targetId) const {
    for (const auto& state : windows_) {
        if (state->targetId == targetId) return state;
    }
    return nullptr;
}

std::shared_ptr<WebBrowser> WindowList::browserFor(const std::shared_ptr<WindowState>& state,
                                                   const std::string& frameId) {
    return std::make_shared<ChromiumBrowser>(state, frameId, control_, loop_);
}

void WindowList::windowCreated(const std::string& targetId, const std::string& url, bool toolbar,
                               bool menubar) {
    if (gone_ || find(targetId)) return;
    auto state = std::make_shared<WindowState>();
    state->targetId = targetId;
    state->handle = nextHandle_++;
    state->url = url;
    state->toolbar = toolbar;
    state->menubar = menubar;
    windows_.push_back(state);
    departClosedWindows();
    if (onRegistered_) onRegistered_();
}

void WindowList::windowUrlChanged(const std::string& targetId, const std::string& url) {
    if (auto state = find(targetId)) state->url = url;
}

void WindowList::windowBarsReported(const std::string& targetId, bool toolbar, bool menubar) {
    if (auto state = find(targetId)) {
        state->toolbar = toolbar;
        state->menubar = menubar;
    }
}

void WindowList::windowCrashed(const std::string& targetId) {
    if (auto state = find(targetId)) state->frames.clear();
}

void WindowList::windowGone(const std::string& targetId) {
    auto state = find(targetId);
    if (!state) return;
    state->alive = false;
    state->frames.clear();
    std::erase(windows_, state);
    if (focusedTarget_ == targetId) focusedTarget_.clear();
}

void WindowList::frameNavigated(const std::string& targetId, const std::string& frameId,
                                const std::string& url) {
    auto state = find(targetId);
    if (!state) return;
    auto& frame = state->frames[frameId];
    frame.url = url;
    frame.document.reset();
    if (frameId == targetId) state->url = url;
}

void WindowList::decide(const std::shared_ptr<WindowState>& state, const Answer& answer,
                        const std::function<void(BrowserEventSink&, bool&)>& handler) {
    bool cancel = false;
    departClosedWindows();
    if (!state || !state->sink) {
        answer(false);
        return;
    }
    try {
        handler(*state->sink, cancel);
    } catch (const BrowserError&) {
        // A window that failed mid-handler: what was decided so far stands.
    } catch (...) {
        answer(cancel);
        throw;
    }
    answer(cancel);
}

void WindowList::beforeNavigate(const std::string& targetId, const std::string& frameId,
                                const std::string& url, Answer answer) {
    auto state = find(targetId);
    decide(state, answer, [&](BrowserEventSink& sink, bool& cancel) {
        sink.BeforeNavigate2(browserFor(state, frameId), url, cancel);
    });
}

void WindowList::newWindow(const std::string& openerTargetId, Answer answer) {
    decide(find(openerTargetId), answer,
           [&](BrowserEventSink& sink, bool& cancel) { sink.NewWindow2(cancel); });
}

void WindowList::windowOpening(const std::string& openerTargetId, const std::string& url,
                               bool popUp, Answer answer) {
    auto state = find(openerTargetId);
    decide(state, answer, [&](BrowserEventSink& sink, bool& cancel) {
        sink.WindowOpening(browserFor(state, openerTargetId), url, popUp, cancel);
    });
}

page::SnapshotDocument::WriteSink WindowList::writesTo(const FrameSnapshot& frame) const {
    if (frame.contextId == 0) return {};
    return [control = control_, session = frame.sessionId,
            context = frame.contextId](const std::vector<page::PageWrite>& writes) {
        if (auto target = control.lock()) target->writePage(session, context, writes);
    };
}

void WindowList::documentComplete(const std::string& targetId, const std::string& frameId,
                                  std::shared_ptr<const FrameSnapshot> snapshot) {
    auto state = find(targetId);
    if (!state) return;
    auto& frame = state->frames[frameId];
    if (snapshot) {
        frame.url = snapshot->document.url;
        frame.document = std::make_shared<page::SnapshotDocument>(
            snapshot->document, loop_, writesTo(*snapshot), placeholders_);
    }
    const std::string url = frameId == targetId && frame.url.empty() ? state->url : frame.url;
    if (!state->sink) return;
    departClosedWindows();
    try {
        state->sink->DocumentComplete(browserFor(state, frameId), url);
    } catch (const BrowserError&) {
        // The page went away while the engine read it.
    }
}

void WindowList::focusReported(const std::string& targetId, bool focused) {
    if (focused) {
        focusedTarget_ = targetId;
        if (auto state = find(targetId)) {
            state->focusedAt = ++focusReports_;
            state->frontWindow = frontProbe_ ? frontProbe_() : 0;
        }
    } else if (focusedTarget_ == targetId) {
        focusedTarget_.clear();
    }
}

void WindowList::browserGone() {
    gone_ = true;
    for (const auto& state : windows_) {
        state->alive = false;
        state->frames.clear();
    }
    windows_.clear();
    focusedTarget_.clear();
    if (auto onGone = std::exchange(onGone_, {})) onGone();
}

int LiveWindows::Count() {
    return int(windows_->browsers().size());
}

std::shared_ptr<WebBrowser> LiveWindows::Item(int index) {
    auto browsers = windows_->browsers();
    return index >= 0 && index < int(browsers.size()) ? browsers[size_t(index)] : nullptr;
}

}  // namespace vantrel::chromium
