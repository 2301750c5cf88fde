#pragma once

#include <array>
#include <string_view>

namespace vantrel {

// Geometry of the skinned main window and its image items.

inline constexpr int kMainWindowWidth = 566;
inline constexpr int kMainWindowHeight = 359;

// Page numbers of the main window.
enum Page : int { kPageOptions = 0, kPageAllowedList, kPageBlacklist, kPageLog, kPageAbout };
inline constexpr int kPageCount = 5;

struct Placement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

inline constexpr Placement kPageArea{205, 110, 330, 216};
inline constexpr Placement kAboutPageArea{204, 109, 333, 218};

enum class ImageItemKind { Button, Tab };

// Where an item sits: on the skin itself, or on a page (then its placement is relative to the
// page; the sound buttons are relative to the Options page's General group).
struct ImageItemSpec {
    std::string_view name;
    std::string_view bitmapBase;  // pictures: base, base + "_ON" (pressed), base + "_OVER" (hover)
    ImageItemKind kind;
    int tabPage;  // the page a tab selects; -1 for buttons
    int onPage;   // the page a button sits on; -1 for the skin
    Placement placement;
};

// Item indices, in table order.
enum ImageItem : int {
    kIBtnMin,
    kIBtnClose,
    kIBtnOk,
    kIBtnCancel,
    kIBtnHelp,
    kIBtnAdd,
    kIBtnBAdd,
    kIBtnClear,
    kIBtnFolder,
    kIBtnTest,
    kITabOptions,
    kITabList,
    kITabBlackList,
    kITabLog,
    kITabAbout,
    kImageItemCount
};

inline constexpr std::array<ImageItemSpec, kImageItemCount> kImageItems{{
    {"IBtnMin", "BTN_MIN", ImageItemKind::Button, -1, -1, {530, 37, 21, 22}},
    {"IBtnClose", "BTN_CLOSE", ImageItemKind::Button, -1, -1, {505, 37, 21, 22}},
    {"IBtnOk", "BTN_OK", ImageItemKind::Button, -1, -1, {50, 190, 110, 37}},
    {"IBtnCancel", "BTN_CANCEL", ImageItemKind::Button, -1, -1, {50, 224, 110, 37}},
    {"IBtnHelp", "BTN_HELP", ImageItemKind::Button, -1, -1, {50, 258, 110, 37}},
    {"IBtnAdd", "BTN_ADD", ImageItemKind::Button, -1, kPageAllowedList, {240, 10, 78, 26}},
    {"IBtnBAdd", "BTN_ADD", ImageItemKind::Button, -1, kPageBlacklist, {240, 10, 78, 26}},
    {"IBtnClear", "BTN_CLEAR", ImageItemKind::Button, -1, kPageLog, {240, 180, 78, 26}},
    {"IBtnFolder", "BTN_FOLDER", ImageItemKind::Button, -1, kPageOptions, {205, 71, 21, 22}},
    {"IBtnTest", "BTN_TEST", ImageItemKind::Button, -1, kPageOptions, {230, 71, 21, 22}},
    {"ITabOptions", "TAB_OPTIONS", ImageItemKind::Tab, kPageOptions, -1, {205, 77, 62, 27}},
    {"ITabList", "TAB_LIST", ImageItemKind::Tab, kPageAllowedList, -1, {272, 77, 62, 27}},
    {"ITabBlackList", "TAB_BLACKLIST", ImageItemKind::Tab, kPageBlacklist, -1, {339, 77, 62, 27}},
    {"ITabLog", "TAB_LOG", ImageItemKind::Tab, kPageLog, -1, {406, 77, 62, 27}},
    {"ITabAbout", "TAB_ABOUT", ImageItemKind::Tab, kPageAbout, -1, {473, 77, 62, 27}},
}};

// The tab item of a page.
constexpr int tabOfPage(int page) {
    return kITabOptions + page;
}

// The logo badge: a press whose screen point lies left of the window's left edge + 174 and above
// its top edge + 146 drags the window. Signed coordinates: screens left of or above the primary
// one have negative positions.
constexpr bool inDragZone(int windowLeft, int windowTop, int screenX, int screenY) {
    return screenX < windowLeft + 174 && screenY < windowTop + 146;
}

}  // namespace vantrel
