#pragma once

#include <string>

#include "platform/autostart.h"
#include "platform/browser.h"
#include "platform/browser_button.h"
#include "platform/browser_status.h"
#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/http_transport.h"
#include "platform/program_process.h"
#include "platform/registry_store.h"
#include "settings/settings.h"

namespace vantrel {

// What the main window is built on: the desktop program, `vantrelctl watch` and the tests each
// fill it with their own adapters.
struct VantrelPlatform {
    EventLoop& loop;
    FileSystem& files;
    RegistryStore& registry;
    BrowserShell& browsers;
    Desktop& desktop;
    HttpTransport& http;
    ProgramProcess& process;    // the running program, for the update
    std::string programFolder;  // ends with "/"
    Configuration configuration;
    // The login entry the options keep; none where the program starts no desktop session
    // (vantrelctl), and then the option only lives in the settings.
    Autostart* autostart = nullptr;
    // False where the program is not the one an update replaces (vantrelctl): the update check
    // then never runs, and no version is offered or recorded as declined.
    bool installsUpdates = true;
    // The browser's toolbar button; none where the program starts no desktop session.
    BrowserButton* browserButton = nullptr;
    // Which browsers are watched, for the tray tip and the log; none where the browser is a
    // stand-in.
    BrowserStatus* browserStatus = nullptr;
};

}  // namespace vantrel
