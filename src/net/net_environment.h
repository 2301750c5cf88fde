#pragma once

#include <functional>
#include <string>

#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/http_transport.h"
#include "settings/settings.h"

namespace vantrel {

// What the exchanges with the vendor server work with, handed over by the main window.
struct NetEnvironment {
    static constexpr const char* kTitle = "Vantrel";

    EventLoop& loop;
    HttpTransport& http;
    FileSystem& files;
    Desktop& desktop;
    Settings& settings;
    std::string server;         // base address, http://host[:port] without a trailing "/"
    std::string programFolder;  // ends with "/"
    // The apply-and-save operation of the options page; `withSender` as for the OK button.
    std::function<void(bool withSender)> applyOptions;

    // Today as "yyyy-mm-dd" in local time.
    std::string today() const;
    // Runs the apply operation; a store that cannot be written is shown in the error box.
    void apply(bool withSender) const;
    MessageBoxAnswer message(const std::string& text, MessageBoxKind kind,
                             const std::string& caption = kTitle) const;
};

std::string formatDate(const LocalDateTime& time);

}  // namespace vantrel
