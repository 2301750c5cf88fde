#include "programs/vantrel/display_check.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace vantrel {

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

constexpr const char* kTerminalAdvice =
    "; to block pop-ups from a terminal without a desktop, use \"vantrelctl watch\"";

}  // namespace

std::optional<std::string> missingDisplay() {
    if (isSet("QT_QPA_PLATFORM") || isSet("WAYLAND_DISPLAY")) return std::nullopt;
    if (!isSet("DISPLAY")) {
        return std::string("vantrel: no display to show its window on (DISPLAY is not set)") +
               kTerminalAdvice;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reached = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (reached) return std::nullopt;
    return std::string("vantrel: cannot open the display \"") + std::getenv("DISPLAY") + "\"" +
           kTerminalAdvice;
}

}  // namespace vantrel
