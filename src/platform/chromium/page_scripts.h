#pragma once

#include <string>
#include <vector>

#include "platform/page/page_script.h"

namespace vantrel::chromium {

// The name of the isolated world Vantrel reads and writes pages in: page scripts cannot see it
// or replace what it calls.
inline constexpr const char* kWorldName = "vantrel";
// The binding through which a page reports whether its document has focus.
inline constexpr const char* kFocusBinding = "vantrelFocus";

// Reads images, links and body markup, and keeps the elements for later writes (the shared
// page script's snapshot function, as one expression).
std::string snapshotScript();
// One expression applying every write in order to what the snapshot kept.
std::string writeScript(const std::vector<page::PageWrite>& writes);
// True in the page in front of a pop-up window: a page showing in a window whose frame holds no
// more than a location bar (a tabbed window adds its tab strip and tool bar). A page opened
// as a pop-up forgets so once another site's page replaces it, and the browser tells no
// window's kind, so the window's shape is what is left to go by.
std::string popUpShapeScript();
// Installed in the isolated world of every page: reports focus changes through the binding.
std::string focusScript();

}  // namespace vantrel::chromium
