#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "platform/desktop.h"

namespace vantrel {

class VantrelForm;

// The items of the tray menu, in menu order.
enum TrayMenuItem : int {
    kMIKillPopup,
    kMIKillUrl,
    kMIKillBanner,
    kMIKillImage,
    kMIDisable,
    kMISeparator1,
    kMIPlaySound,
    kMIAutoCheckUpdates,
    kMISeparator2,
    kOptionsMI,
    kExceptionMI,
    kBlackListMI,
    kLogsMI,
    kMISeparator3,
    kHelpMI,
    kVisitMI,
    kUpdateMI,
    kAboutMI,
    kMISeparator4,
    kCloseMI,
    kTrayMenuItemCount
};

struct MenuItem {
    std::string_view name;
    std::string caption;  // "-" for a separator; "&" marks the access key
    bool checked = false;
    bool enabled = true;
    bool visible = true;

    bool separator() const { return caption == "-"; }
};

// The tray entry's menu `PMMain` and the tray entry's mouse messages. The view builds its menu
// from `items` each time it opens, calls `click` with the chosen item, forwards the tray entry's
// messages to TrayMessage, and sets `setShowMenu` to open the menu at the pointer.
class TrayMenu {
  public:
    static constexpr const char* kVersionTag = "P202";

    TrayMenu(VantrelForm& form, Desktop& desktop);

    // What a right click on the tray entry does: bring the main window to the front and open
    // the menu at the pointer, closing it when the user clicks elsewhere.
    void setShowMenu(std::function<void()> showMenu) { showMenu_ = std::move(showMenu); }

    // A tray mouse message (platform/tray_messages.h); others are ignored.
    void TrayMessage(int mouseMessage);
    // The chosen menu item's handler; separators, hidden and greyed items do nothing.
    void click(int item);

    // Sets the item's check mark and its caption from the toggle table.
    void MISetState(int item, bool checked);
    // The toggle number of a kill item (1, 2, 3 or 5); 0 for any other item.
    static int MIGetByHandle(int item);

    void MIKillClick(int item);
    void MIAutoCheckUpdatesClick();
    void MIPlaySoundClick();
    void OptionsMIClick() { showPage(0); }
    void ExceptionMIClick() { showPage(1); }
    void BlackListMIClick() { showPage(2); }
    void LogsMIClick() { showPage(3); }
    void AboutMIClick() { showPage(4); }
    void VisitMIClick();
    // The manual update check.
    void UpdateMIClick();
    void CloseMIClick();
    // The Help button of the main window and the Help item.
    void IBtnHelpClick();
    // The banner and the logo text image of the About page.
    void imgBannerClick() { VisitMIClick(); }

    // The product's help page with the version query.
    std::string helpPageUrl() const;

    std::array<MenuItem, kTrayMenuItemCount> items;

  private:
    void showPage(int page);

    VantrelForm& form_;
    Desktop& desktop_;
    std::function<void()> showMenu_;
};

}  // namespace vantrel
