#pragma once

#include <memory>
#include <string>
#include <thread>

#include "platform/event_loop.h"
#include "platform/extension/extension_shell.h"

namespace vantrel::extension {

// The socket name the extension's hosts reach Vantrel at, one per user and display.
std::string watchSocketName();

// Serves the native-messaging hosts of the user's browsers on the per-user socket: each
// connection is one browser. An I/O thread reads the frames and hands each message to the
// shell on the main thread (through the loop's post); the shell's messages are queued and
// written by the same thread. A frame over the limit, or a browser that stops reading, ends
// that connection only.
class WatchServer {
  public:
    // Listens at `name`. False from listening() when a live Vantrel of this user and display
    // already holds it. Throws posix::UserSocketError when the socket cannot be made.
    WatchServer(EventLoop& loop, ExtensionShell& shell, const std::string& name);
    // Ends every connection; the shell hears of none of it.
    ~WatchServer();
    WatchServer(const WatchServer&) = delete;
    WatchServer& operator=(const WatchServer&) = delete;

    bool listening() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace vantrel::extension
