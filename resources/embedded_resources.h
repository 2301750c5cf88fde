#pragma once

#include <optional>
#include <string_view>

namespace vantrel {

// The bytes of a picture or sound compiled into the program, by its resource name ("IMG_BANNER",
// "IMG_SIMPLE_1" .. "IMG_SIMPLE_8", "WAV_DEFAULT", "TRAY", ...); nothing for an unknown name.
// The bytes live as long as the program.
std::optional<std::string_view> embeddedResource(std::string_view name);

}  // namespace vantrel
