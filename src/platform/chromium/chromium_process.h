#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/chromium/framed_transport.h"
#include "platform/posix/unique_fd.h"

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
    // The keeper program that starts the browser and holds its pipe, so that the browser and
    // Vantrel outlive each other. Empty: Vantrel holds the pipe itself, and the browser ends
    // with the connection.
    std::string keeper;
};

// The command line: the command's own words, the flags every start needs, then the options.
std::vector<std::string> launchArguments(const LaunchOptions& options);

// A browser started in a process group of its own with its DevTools pipe: commands go to its
// fd 3, replies come from its fd 4, each message ended by a NUL byte.
struct PipedBrowser {
    pid_t pid = -1;
    posix::UniqueFd toBrowser;
    posix::UniqueFd fromBrowser;
};
// Starts the command line `args` (its first word found on PATH). Throws BrowserError.
PipedBrowser startPipedBrowser(const std::vector<std::string>& args);

// A browser that Vantrel started and whose pipe it holds itself.
class ChromiumProcess : public FramedTransport {
  public:
    // Throws BrowserError when the program cannot be started.
    explicit ChromiumProcess(const LaunchOptions& options);
    ~ChromiumProcess() override;

    pid_t pid() const { return pid_; }
    // Kills the browser's whole process group at once (tests use it to play a crash).
    void kill();

  private:
    ChromiumProcess(PipedBrowser browser, bool terminateOnClose);
    void reap();

    pid_t pid_ = -1;
    bool terminateOnClose_;
};

}  // namespace vantrel::chromium
