#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrel {

// A browser that is watched now, as the platform knows it.
struct WatchedBrowser {
    enum class Way { DevTools, Extension };

    // Tells apart the browsers watched at the same time.
    std::uint64_t id = 0;
    // The browser's process; the same across its reconnections.
    std::int64_t process = 0;
    std::string name;     // "Chromium", "Firefox"
    std::string version;  // as the browser gives it: "153.0.1"
    Way way = Way::DevTools;
    // Requests the browser let go on because no verdict came in time, as the browser counts
    // them (since its extension started, across reconnections).
    std::int64_t unanswered = 0;
};

// Which browsers are watched, for the tray tip and the log.
class BrowserStatus {
  public:
    virtual ~BrowserStatus() = default;

    virtual std::vector<WatchedBrowser> watchedBrowsers() = 0;
    // `onChanged` runs on the main thread each time a browser starts or stops being watched,
    // or reports more requests let go; synchronously within the call that connected a browser.
    // An empty function stops the reports.
    virtual void listenBrowsersChanged(std::function<void()> onChanged) = 0;
};

}  // namespace vantrel
