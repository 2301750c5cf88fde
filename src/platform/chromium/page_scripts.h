#pragma once

#include <string>
#include <vector>

#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/window_events.h"

namespace vantrel::chromium {

// The name of the isolated world Vantrel reads and writes pages in: page scripts cannot see it
// or replace what it calls.
inline constexpr const char* kWorldName = "vantrel";
// The binding through which a page reports whether its document has focus.
inline constexpr const char* kFocusBinding = "vantrelFocus";
// The attribute that keeps the address the engine wrote on an image shown from a data URL.
inline constexpr const char* kEngineSrcAttribute = "data-vantrel-src";
// Body markup beyond this is cut: the engine only looks for file names in it.
inline constexpr size_t kBodyMarkupCap = 8u << 20;

// Reads images, links and body markup, and keeps the elements for later writes.
std::string snapshotScript();
// True in the page in front of a pop-up window: a page showing in a window whose frame holds no
// more than a location bar (a tabbed window adds its tab strip and tool bar). A page opened
// as a pop-up forgets so once another site's page replaces it, and the browser tells no
// window's kind, so the window's shape is what is left to go by.
std::string popUpShapeScript();
// Installed in the isolated world of every page: reports focus changes through the binding.
std::string focusScript();
// Parses the value the snapshot script returned. Missing or odd fields read as empty; a place
// outside the markup reads as none.
DocumentSnapshot parseSnapshot(const Json& value);
// An attribute value as the browser writes it in markup.
std::string escapeAttribute(const std::string& value);

// One change to the page, applied to the elements the snapshot kept.
struct PageWrite {
    enum class Kind { ImageSrc, ImageWidth, ImageHeight, ImageAlt, LinkHref };
    Kind kind;
    size_t index;
    std::string text;       // src (as shown), alt, href
    int number = 0;         // width, height
    std::string engineSrc;  // for ImageSrc: the address the engine wrote, when it differs
};
// One expression applying every write in order.
std::string writeScript(const std::vector<PageWrite>& writes);

}  // namespace vantrel::chromium
