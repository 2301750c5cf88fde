#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// Byte-string helpers. Letter case follows the ASCII rule: only a-z and A-Z change.

inline char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string toUpperAscii(std::string_view text);

// Case-insensitive three-way comparison by ASCII case folding, then by bytes.
int compareNoCase(std::string_view a, std::string_view b);
bool equalsNoCase(std::string_view a, std::string_view b);

// True when `needle` occurs in `haystack`, both compared by their upper-case forms.
bool containsNoCase(std::string_view haystack, std::string_view needle);

// Whole decimal number (optional sign, at least one digit, nothing else) that fits in T.
bool parseDecimal(std::string_view text, long long& value);

// Blanks and control characters (bytes 0..32) removed at both ends.
std::string_view trimControls(std::string_view text);

}  // namespace vantrel
