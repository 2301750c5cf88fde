#include "net/query_encoding.h"

namespace vantrel {
namespace {

bool keptAsIs(unsigned char c) {
    constexpr std::string_view kPunctuation = "!$'()*-.@_";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != 0 && kPunctuation.find(char(c)) != std::string_view::npos);
}

}  // namespace

std::string encodeQueryValue(std::string_view value) {
    constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(value.size());
    for (const char byte : value) {
        const auto c = static_cast<unsigned char>(byte);
        if (keptAsIs(c)) {
            out += byte;
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0f];
        }
    }
    return out;
}

}  // namespace vantrel
