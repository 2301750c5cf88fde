#include "net/net_environment.h"

#include <cstdio>

#include "common/error.h"

namespace vantrel {

std::string formatDate(const LocalDateTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", time.year, time.month, time.day);
    return text;
}

std::string NetEnvironment::today() const {
    return formatDate(loop.localTime());
}

void NetEnvironment::apply(bool withSender) const {
    try {
        applyOptions(withSender);
    } catch (const Error& e) {
        message(e.what(), MessageBoxKind::Error);
    }
}

MessageBoxAnswer NetEnvironment::message(const std::string& text, MessageBoxKind kind,
                                         const std::string& caption) const {
    return desktop.messageBox(text, caption, kind);
}

}  // namespace vantrel
