#pragma once

#include <string_view>

namespace vantrel::extension {

// Whether `window.open` with this features text asks for a pop-up window (a window without the
// browser's tool bars) rather than a tab or a normal window: the HTML standard's "check if a
// popup window is requested", which Firefox follows. "noopener" and "noreferrer" do not count.
bool requestsPopUp(std::string_view features);

}  // namespace vantrel::extension
