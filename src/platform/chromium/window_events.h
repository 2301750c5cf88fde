#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantrel::chromium {

// What a page looked like when it finished loading, read in one round trip.
struct DocumentSnapshot {
    // Where an attribute's value stands in the body markup.
    struct Place {
        static constexpr size_t kNone = size_t(-1);
        size_t start = kNone;
        size_t length = 0;
    };
    struct Image {
        std::string src;  // the address the engine wrote, where it wrote one
        int width = 0;
        int height = 0;
        Place inMarkup;  // of its src attribute
    };
    struct Link {
        bool isAnchor = false;
        std::string href;  // as the markup writes it: relative, with its characters escaped
        Place inMarkup;
    };

    std::string url;
    std::vector<Image> images;
    std::vector<Link> links;
    std::string bodyOuterHTML;
    // Where writes go: the frame's session and the isolated world the snapshot was read in.
    std::string sessionId;
    int contextId = 0;
};

// The browser's reports, in the order it made them, delivered on the main thread. Windows are
// page targets named by their target id; a frame is named by its frame id (the window's own
// frame id is its target id).
class WindowEvents {
  public:
    using Answer = std::function<void(bool cancel)>;

    virtual ~WindowEvents() = default;

    virtual void windowCreated(const std::string& targetId, const std::string& url, bool toolbar,
                               bool menubar) = 0;
    virtual void windowUrlChanged(const std::string& targetId, const std::string& url) = 0;
    // The page's own report of its bars, for windows whose opening was not seen.
    virtual void windowBarsReported(const std::string& targetId, bool toolbar, bool menubar) = 0;
    virtual void windowCrashed(const std::string& targetId) = 0;
    virtual void windowGone(const std::string& targetId) = 0;
    virtual void frameNavigated(const std::string& targetId, const std::string& frameId,
                                const std::string& url) = 0;
    // `answer` must be called exactly once; the request waits until then.
    virtual void beforeNavigate(const std::string& targetId, const std::string& frameId,
                                const std::string& url, Answer answer) = 0;
    virtual void newWindow(const std::string& openerTargetId, Answer answer) = 0;
    // `snapshot` is null when the page could not be read.
    virtual void documentComplete(const std::string& targetId, const std::string& frameId,
                                  std::shared_ptr<const DocumentSnapshot> snapshot) = 0;
    virtual void focusReported(const std::string& targetId, bool focused) = 0;
    virtual void browserGone() = 0;
};

}  // namespace vantrel::chromium
