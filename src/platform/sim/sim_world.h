#pragma once

#include <string>

#include "platform/sim/sim_autostart.h"
#include "platform/sim/sim_browser.h"
#include "platform/sim/sim_browser_button.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_event_loop.h"
#include "platform/sim/sim_file_system.h"
#include "platform/sim/sim_http_transport.h"
#include "platform/sim/sim_program_process.h"
#include "platform/sim/sim_registry.h"
#include "shell/vantrel_platform.h"

namespace vantrel::sim {

// A whole simulated platform, ready to build the main window on.
struct SimWorld {
    static constexpr const char* kProgramFolder = "/opt/vantrel/";

    SimEventLoop loop;
    SimFileSystem files;
    SimRegistry registry;
    SimBrowserShell browsers{loop};
    SimDesktop desktop;
    SimHttpTransport http{loop, &files};
    SimProgramProcess process;
    SimAutostart autostart;
    SimBrowserButton browserButton;
    Configuration configuration;

    VantrelPlatform platform() {
        return {loop,    files,          registry,      browsers,   desktop, http,
                process, kProgramFolder, configuration, &autostart, true,    &browserButton};
    }
};

}  // namespace vantrel::sim
