#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace vantrel {

// The native handle of a top-level browser window, as the desktop reports the foreground window.
using WindowHandle = std::uint64_t;

// A browser, frame or document call that failed: the window closed, the page navigated away,
// the renderer died. Engine code catches it where a failure ends the current step silently.
class BrowserError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The finished document of a window or frame. Images and links come in document order; every
// call may throw BrowserError. Reads are cheap (an adapter serves them from a snapshot taken
// when the page finished loading); writes take effect in the page and in later reads.
class PageDocument {
  public:
    virtual ~PageDocument() = default;

    virtual size_t imageCount() = 0;
    virtual std::string imageSrc(size_t index) = 0;
    virtual int imageWidth(size_t index) = 0;
    virtual int imageHeight(size_t index) = 0;
    virtual void setImageSrc(size_t index, const std::string& src) = 0;
    virtual void setImageWidth(size_t index, int width) = 0;
    virtual void setImageHeight(size_t index, int height) = 0;
    virtual void setImageAlt(size_t index, const std::string& alt) = 0;

    virtual size_t linkCount() = 0;
    // Area elements are links too, but not anchors: their href is not read or written.
    virtual bool linkIsAnchor(size_t index) = 0;
    virtual std::string linkHref(size_t index) = 0;
    virtual void setLinkHref(size_t index, const std::string& href) = 0;

    // The markup of the document's body element.
    virtual std::string bodyOuterHTML() = 0;
};

class BrowserEventSink;

// A browser window, or a frame inside one (a frame reports its window's handle and bars).
class WebBrowser {
  public:
    virtual ~WebBrowser() = default;

    virtual WindowHandle handle() = 0;
    virtual std::string LocationURL() = 0;
    // 0 when the tool bar is hidden.
    virtual int ToolBar() = 0;
    virtual bool MenuBar() = 0;
    // Closes the window.
    virtual void Quit() = 0;
    // The current document; throws BrowserError when there is none.
    virtual std::shared_ptr<PageDocument> Document() = 0;

    // Connects the sink to this window's events; returns a non-zero cookie, or 0 when the
    // window cannot be connected. Connecting the same sink again changes nothing.
    virtual std::uint32_t advise(BrowserEventSink& sink) = 0;
};

// The open browser windows, ordered, indexed from 0. Each engine step asks for a fresh one.
class BrowserWindows {
  public:
    virtual ~BrowserWindows() = default;

    virtual int Count() = 0;
    // The window at `index`; null when there is none (for example at index Count()).
    virtual std::shared_ptr<WebBrowser> Item(int index) = 0;
};

// The events of every connected window, delivered on the main thread.
class BrowserEventSink {
  public:
    virtual ~BrowserEventSink() = default;

    // `pDisp` is the window or frame that navigates, null when it is not a browser.
    virtual void BeforeNavigate2(const std::shared_ptr<WebBrowser>& pDisp, const std::string& URL,
                                 bool& Cancel) = 0;
    // A page asked for a new window; it opens unless Cancel is set.
    virtual void NewWindow2(bool& Cancel) = 0;
    // The window's or a frame's document finished loading.
    virtual void DocumentComplete(const std::shared_ptr<WebBrowser>& pDisp,
                                  const std::string& URL) = 0;
    // A page of `opener` asks for a new window at `URL`, a pop-up window when `popUp`, before
    // the browser makes it; it is not made when Cancel is set. Only browsers that can ask
    // before making the window send this; NewWindow2 follows when it is made.
    virtual void WindowOpening(const std::shared_ptr<WebBrowser>& opener, const std::string& URL,
                               bool popUp, bool& Cancel) {
        (void)opener, (void)URL, (void)popUp, (void)Cancel;
    }
};

// The browser side of the desktop: the window collection and its window-registered event.
class BrowserShell {
  public:
    virtual ~BrowserShell() = default;

    // A fresh collection of the open windows. Throws BrowserError when there is no browser.
    virtual std::unique_ptr<BrowserWindows> createWindows() = 0;
    // `onWindowRegistered` runs on the main thread each time a window joins the collection.
    // Throws BrowserError when the browser cannot be reached.
    virtual void listenWindowRegistered(std::function<void()> onWindowRegistered) = 0;
    // `onLost` runs on the main thread when the browser went away (it ended, or the connection
    // to it broke). The next createWindows() then tries to reach it afresh. A shell whose browser
    // cannot go away never calls it.
    virtual void listenConnectionLost(std::function<void()> onLost) { (void)onLost; }
};

}  // namespace vantrel
