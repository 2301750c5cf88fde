#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/chromium/cdp_transport.h"

namespace vantrel::chromium {

struct WebSocketAddress {
    std::string host;
    std::string port;
    std::string path;
};

// Where a running browser's DevTools endpoint is, from what the user configured: a
// "ws://host:port/path" address, the path of a DevToolsActivePort file, or "host:port" (whose
// /json/version page names the address). Throws BrowserError.
WebSocketAddress resolveDevToolsEndpoint(const std::string& endpoint,
                                         std::chrono::milliseconds timeout);

// Attaches to a running browser over its DevTools WebSocket. Throws BrowserError when the
// endpoint cannot be reached within `timeout`.
std::unique_ptr<CdpTransport> connectWebSocket(const std::string& endpoint,
                                               std::chrono::milliseconds timeout);

}  // namespace vantrel::chromium
