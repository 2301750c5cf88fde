#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/chromium/cdp_transport.h"

namespace vantrel::chromium {

// How Vantrel starts the browser itself.
struct LaunchOptions {
    // The command, split at spaces: the program and any arguments of its own.
    std::string command = "chromium";
    // Empty: the user's own profile.
    std::string userDataDir;
    bool headless = false;
    // Terminate the browser (its whole process group) when the connection is closed. Tests set
    // it; the user's own browser is left running.
    bool terminateOnClose = false;
    std::vector<std::string> extraArguments;
};

// The command line: the command's own words, the flags every start needs, then the options.
std::vector<std::string> launchArguments(const LaunchOptions& options);

// A browser started with --remote-debugging-pipe: commands go to its fd 3, replies come from
// its fd 4, each message ended by a NUL byte.
class ChromiumProcess : public CdpTransport {
  public:
    // Throws BrowserError when the program cannot be started.
    explicit ChromiumProcess(const LaunchOptions& options);
    ~ChromiumProcess() override;
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;

    std::optional<std::string> read() override;
    bool send(const std::string& message) override;
    void close() override;

    pid_t pid() const { return pid_; }
    // Kills the browser's whole process group at once (tests use it to play a crash).
    void kill();

  private:
    void reap();

    pid_t pid_ = -1;
    int toBrowser_ = -1;
    int fromBrowser_ = -1;
    int wakeRead_ = -1;  // a pipe that ends a blocked read() on close()
    int wakeWrite_ = -1;
    bool terminateOnClose_;
    std::string pending_;
};

}  // namespace vantrel::chromium
