#include "platform/extension/window_features.h"

#include <charconv>
#include <map>
#include <string>

#include "common/text.h"

namespace vantrel::extension {

namespace {

bool space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool separator(char c) {
    return c == '=' || c == ',' || space(c);
}

// The standard's tokenizer: names and values split by separators. Letter case does not count;
// both are kept in upper case (ASCII only, whatever the locale).
std::map<std::string, std::string> tokenize(std::string_view features) {
    std::map<std::string, std::string> tokens;
    size_t at = 0;
    const size_t end = features.size();
    while (at < end) {
        while (at < end && separator(features[at])) ++at;
        const size_t nameStart = at;
        while (at < end && !separator(features[at])) ++at;
        const std::string name = toUpperAscii(features.substr(nameStart, at - nameStart));
        // Spaces, then an optional "=" with spaces around it, then the value.
        while (at < end && space(features[at])) ++at;
        std::string value;
        if (at < end && features[at] == '=') {
            ++at;
            while (at < end && separator(features[at]) && features[at] != ',') ++at;
            const size_t valueStart = at;
            while (at < end && !separator(features[at])) ++at;
            value = toUpperAscii(features.substr(valueStart, at - valueStart));
        }
        if (!name.empty()) tokens[name] = value;
    }
    return tokens;
}

// "yes", "true" and an empty value are true; otherwise a leading integer other than 0. A value
// holds no spaces: they end it.
bool booleanFeature(const std::string& value) {
    if (value.empty() || value == "YES" || value == "TRUE") return true;
    const size_t at = value[0] == '+' ? 1 : 0;
    long number = 0;
    const auto result = std::from_chars(value.data() + at, value.data() + value.size(), number);
    // A number too long to hold is no 0.
    return result.ec == std::errc::result_out_of_range || (result.ec == std::errc() && number != 0);
}

}  // namespace

bool requestsPopUp(std::string_view features) {
    auto tokens = tokenize(features);
    tokens.erase("NOOPENER");
    tokens.erase("NOREFERRER");
    if (tokens.empty()) return false;
    const auto set = [&](const char* name, bool missing) {
        const auto it = tokens.find(name);
        return it == tokens.end() ? missing : booleanFeature(it->second);
    };
    if (tokens.contains("POPUP")) return set("POPUP", false);
    if (!set("LOCATION", false) && !set("TOOLBAR", false)) return true;
    return !set("MENUBAR", false) || !set("RESIZABLE", true) || !set("SCROLLBARS", false) ||
           !set("STATUS", false);
}

}  // namespace vantrel::extension
