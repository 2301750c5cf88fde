#pragma once

#include <string>

namespace vantrel {

// What the browser's toolbar button shows; where it points (the running executable, the icon)
// is the adapter's own knowledge.
struct ToolbarButton {
    std::string buttonText;      // the button's title
    std::string menuText;        // the page's context-menu item
    std::string statusBarText;   // the longer description a browser shows for it
    bool defaultVisible = true;  // placed in the toolbar itself, not only in an overflow menu
};

// The browser's own mechanism for a toolbar button that runs the program.
class BrowserButton {
  public:
    virtual ~BrowserButton() = default;

    // Writes (or rewrites) the button for the running executable. Throws Error naming the file
    // that cannot be written; what was written before it stays.
    virtual void registerButton(const ToolbarButton& button) = 0;
};

}  // namespace vantrel
