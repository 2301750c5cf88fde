#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/chromium/cdp_transport.h"
#include "platform/chromium/chromium_process.h"

namespace vantrel::chromium {

// The keeper program installed beside the running one (`vantrel-keeper`).
std::string installedKeeper();

// The keeper's socket for this user and display.
std::string keeperSocketName();

// A connection through the keeper of this user and display, as through the browser's own
// pipe. Without a keeper that answers, starts `options.keeper`, which starts the browser with
// the options' command line, and waits for it within `timeout`. Throws BrowserError when no
// keeper can be had, or when the keeper serves another client (it then ends the connection).
std::unique_ptr<CdpTransport> connectThroughKeeper(const LaunchOptions& options,
                                                   std::chrono::milliseconds timeout);

}  // namespace vantrel::chromium
