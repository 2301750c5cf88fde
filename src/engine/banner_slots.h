#pragma once

#include <array>

namespace vantrel {

// A standard banner size and the placeholder picture shown in its place.
struct BannerSlot {
    int width;
    int height;
    const char* file;     // in the program's folder
    const char* picture;  // compiled-in resource it is written from
};

// Slot 5 is 727 wide, not 728, so a 728 by 90 banner stays.
inline constexpr std::array<BannerSlot, 8> kBannerSlots = {{
    {300, 250, "r300x250.gif", "IMG_SIMPLE_1"},
    {250, 250, "r250x250.gif", "IMG_SIMPLE_2"},
    {240, 400, "r240x400.gif", "IMG_SIMPLE_3"},
    {336, 280, "r336x280.gif", "IMG_SIMPLE_4"},
    {727, 90, "r727x90.gif", "IMG_SIMPLE_5"},
    {160, 600, "r160x600.gif", "IMG_SIMPLE_6"},
    {120, 600, "r120x600.gif", "IMG_SIMPLE_7"},
    {468, 60, "r468x60.gif", "IMG_SIMPLE_8"},
}};

// The last slot of that size, or null.
inline const BannerSlot* bannerSlotOf(int width, int height) {
    const BannerSlot* found = nullptr;
    for (const auto& slot : kBannerSlots) {
        if (slot.width == width && slot.height == height) found = &slot;
    }
    return found;
}

}  // namespace vantrel
