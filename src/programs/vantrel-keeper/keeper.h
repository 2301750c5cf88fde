#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/chromium/keeper_relay.h"
#include "platform/chromium/message_frames.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/user_socket.h"

namespace vantrel::keeper {

// Holds the pipe of the browser it started for the browser's whole life and serves one client
// at a time on the user's socket, so that the browser and Vantrel outlive each other.
//
// When the browser ends while a client is there, the client's connection is closed (it
// connects again, as at its start) and the browser is started again without a window, so the
// user's next start from the desktop menu joins it. When the browser ends with no client, or
// ended three times in a row within seconds of its start, the keeper ends too.
class Keeper {
  public:
    Keeper(posix::UserSocketListener listener, std::vector<std::string> browserArguments);
    ~Keeper();
    Keeper(const Keeper&) = delete;
    Keeper& operator=(const Keeper&) = delete;

    // Starts the browser with its first window. Throws BrowserError.
    void start();
    // Serves until the keeper's end (above) or SIGTERM, SIGINT or SIGHUP.
    void run();

  private:
    struct Peer {
        posix::UniqueFd in;
        posix::UniqueFd out;  // none: `in` carries both ways (a socket)
        int outFd() const { return out ? out.get() : in.get(); }
        chromium::MessageFrames frames;
        std::string outgoing;
        bool ended = false;
    };

    void startBrowser(bool withWindow);
    void takeConnections();
    void readFrom(Peer& peer);
    bool writeTo(Peer& peer);
    void passFromBrowser();
    void passFromClient();
    void dropClient();
    // True when the keeper goes on (with a browser started again).
    bool browserEnded();
    void reapBrowser();
    bool handleSignals();

    posix::UserSocketListener listener_;
    std::vector<std::string> arguments_;
    chromium::KeeperRelay relay_;
    Peer browser_;
    Peer client_;
    pid_t browserPid_ = -1;
    std::chrono::steady_clock::time_point browserStart_;
    int quickEnds_ = 0;
    posix::UniqueFd signalRead_;
};

}  // namespace vantrel::keeper
