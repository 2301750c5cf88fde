#pragma once

#include <map>
#include <string>

namespace vantrel::page {

// The engine puts its placeholder pictures into pages by their path in the program folder; a
// web page cannot load local files, so the page is given the picture's bytes as a data URL.
class PlaceholderImages {
  public:
    // `programFolder` ends with "/".
    explicit PlaceholderImages(std::string programFolder);

    // The data URL for `src` when it is a placeholder file of the program folder that can be
    // read; empty otherwise (the address is then shown as it is).
    std::string dataUrlFor(const std::string& src);

    static bool isPlaceholderName(const std::string& fileName);

  private:
    struct Cached {
        long long stamp = 0;  // modification time and size: the banner file is refreshed
        std::string url;
    };

    std::string folder_;
    std::map<std::string, Cached> cache_;
};

std::string base64(const std::string& bytes);

}  // namespace vantrel::page
