#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/page/document_snapshot.h"

namespace vantrel::chromium {

// A frame's snapshot and the isolated world it was read in, where its writes go.
struct FrameSnapshot {
    page::DocumentSnapshot document;
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
                                  std::shared_ptr<const FrameSnapshot> snapshot) = 0;
    virtual void focusReported(const std::string& targetId, bool focused) = 0;
    virtual void browserGone() = 0;
};

}  // namespace vantrel::chromium
