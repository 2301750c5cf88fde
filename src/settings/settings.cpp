#include "settings/settings.h"

#include <limits>

#include "common/text.h"

namespace vantrel {

std::int32_t decimalOr(std::string_view text, std::int32_t fallback) {
    long long value = 0;
    if (!parseDecimal(text, value) || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return fallback;
    }
    return std::int32_t(value);
}

int HotKeyCode(std::string_view text) {
    return decimalOr(text, 65);
}

}  // namespace vantrel
