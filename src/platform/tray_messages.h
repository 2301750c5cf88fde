#pragma once

namespace vantrel {

// The tray mouse messages the main window handles, by their window-message numbers.
enum TrayMouseMessage : int {
    kTrayLeftButtonDown = 0x201,
    kTrayLeftDoubleClick = 0x203,
    kTrayRightButtonUp = 0x205,
};

}  // namespace vantrel
