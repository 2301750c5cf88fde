#include "net/http_url.h"

#include "common/text.h"

namespace vantrel {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

bool hasBlankOrControl(std::string_view text) {
    for (unsigned char c : text) {
        if (c <= ' ' || c == 0x7f) return true;
    }
    return false;
}

}  // namespace

std::string HttpUrl::text() const {
    return std::string(secure ? "https://" : "http://") + host + ":" + std::to_string(port) + path;
}

std::optional<HttpUrl> splitHttpUrl(std::string_view url) {
    if (hasBlankOrControl(url)) return std::nullopt;
    HttpUrl result;
    if (startsWithNoCase(url, "http://")) {
        url.remove_prefix(7);
    } else if (startsWithNoCase(url, "https://")) {
        url.remove_prefix(8);
        result.secure = true;
        result.port = 443;
    } else if (url.find("://") != std::string_view::npos) {
        return std::nullopt;
    }

    const size_t slash = url.find('/');
    std::string_view authority = url.substr(0, slash);
    if (slash != std::string_view::npos) result.path = std::string(url.substr(slash));

    // The port follows the last ":" outside an IPv6 literal's brackets.
    const size_t bracket = authority.rfind(']');
    const size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        long long port = 0;
        if (!parseDecimal(authority.substr(colon + 1), port) || port < 1 || port > 65535 ||
            authority[colon + 1] == '+' || authority[colon + 1] == '-') {
            return std::nullopt;
        }
        result.port = int(port);
        authority = authority.substr(0, colon);
    }
    if (authority.empty()) return std::nullopt;
    result.host = std::string(authority);
    return result;
}

}  // namespace vantrel
