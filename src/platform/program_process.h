#pragma once

#include <string>

namespace vantrel {

// The running program as a process: where its executable lies, its id, and helpers that outlive it.
class ProgramProcess {
  public:
    virtual ~ProgramProcess() = default;

    // Full path of the running executable.
    virtual std::string executablePath() = 0;
    virtual long processId() = 0;
    // Starts the shell script at `path` detached, in its own folder and its own session, so that
    // it goes on after the program has ended. Does not wait for it. Throws Error when it cannot.
    virtual void startShellScript(const std::string& path) = 0;
};

}  // namespace vantrel
