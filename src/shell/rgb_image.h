#pragma once

#include <cstdint>
#include <vector>

namespace vantrel {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// A decoded picture: rows from the top, three bytes (red, green, blue) per pixel.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    bool valid() const {
        return width > 0 && height > 0 &&
               pixels.size() ==
                   static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    }
    Rgb at(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                               static_cast<std::size_t>(x)) *
                              3;
        return {pixels[i], pixels[i + 1], pixels[i + 2]};
    }
};

}  // namespace vantrel
