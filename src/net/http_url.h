#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// An address split the way the transfer component reads it: an optional "http://" or "https://"
// (any letter case), the host with an optional ":port", and the path from the first "/".
struct HttpUrl {
    bool secure = false;
    std::string host;  // letter case kept; IPv6 literals keep their brackets
    int port = 80;
    std::string path = "/";

    // The absolute address with a lower-case scheme and an explicit port.
    std::string text() const;
};

// Nothing when the address has no host, a port that is not a number from 1 to 65535, a scheme
// other than http or https, or blanks or control characters anywhere.
std::optional<HttpUrl> splitHttpUrl(std::string_view url);

}  // namespace vantrel
