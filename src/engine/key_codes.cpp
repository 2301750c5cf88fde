#include "engine/key_codes.h"

#include <array>
#include <utility>

namespace vantrel {

namespace {

// Keys whose keysym and virtual-key code are not related by a range.
constexpr std::array<std::pair<std::uint32_t, int>, 36> kSingleKeys = {{
    {0xFF08, 8},    // BackSpace
    {0xFF09, 9},    // Tab
    {0xFF0D, 13},   // Return
    {0xFF8D, 13},   // KP_Enter
    {0xFF13, 19},   // Pause
    {0xFFE5, 20},   // Caps_Lock
    {0xFF1B, 27},   // Escape
    {0x0020, 32},   // space
    {0xFF55, 33},   // Prior
    {0xFF56, 34},   // Next
    {0xFF57, 35},   // End
    {0xFF50, 36},   // Home
    {0xFF51, 37},   // Left
    {0xFF52, 38},   // Up
    {0xFF53, 39},   // Right
    {0xFF54, 40},   // Down
    {0xFF61, 44},   // Print
    {0xFF63, 45},   // Insert
    {0xFFFF, 46},   // Delete
    {0xFFAA, 106},  // KP_Multiply
    {0xFFAB, 107},  // KP_Add
    {0xFFAD, 109},  // KP_Subtract
    {0xFFAE, 110},  // KP_Decimal
    {0xFFAF, 111},  // KP_Divide
    {0xFF7F, 144},  // Num_Lock
    {0xFF14, 145},  // Scroll_Lock
    {0x003B, 186},  // semicolon
    {0x003D, 187},  // equal
    {0x002C, 188},  // comma
    {0x002D, 189},  // minus
    {0x002E, 190},  // period
    {0x002F, 191},  // slash
    {0x0060, 192},  // grave
    {0x005B, 219},  // bracketleft
    {0x005C, 220},  // backslash
    {0x005D, 221},  // bracketright
}};

}  // namespace

int virtualKeyFromKeysym(std::uint32_t keysym) {
    if (keysym >= 'a' && keysym <= 'z') return int(keysym - 'a' + 'A');
    if (keysym >= 'A' && keysym <= 'Z') return int(keysym);
    if (keysym >= '0' && keysym <= '9') return int(keysym);
    if (keysym >= 0xFFBE && keysym <= 0xFFD5) return int(keysym - 0xFFBE) + 112;  // F1..F24
    if (keysym >= 0xFFB0 && keysym <= 0xFFB9) return int(keysym - 0xFFB0) + 96;   // KP_0..KP_9
    if (keysym == 0x0027) return 222;                                             // apostrophe
    if (keysym == 0xFFE1 || keysym == 0xFFE2) return 16;                          // Shift
    if (keysym == 0xFFE3 || keysym == 0xFFE4) return 17;                          // Control
    if (keysym == 0xFFE9 || keysym == 0xFFEA) return 18;                          // Alt
    for (const auto& [sym, code] : kSingleKeys) {
        if (sym == keysym) return code;
    }
    return 0;
}

}  // namespace vantrel
