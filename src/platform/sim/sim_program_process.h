#pragma once

#include <string>
#include <vector>

#include "common/error.h"
#include "platform/program_process.h"

namespace vantrel::sim {

// The running program as a test sets it: scripts are recorded, never run.
class SimProgramProcess : public ProgramProcess {
  public:
    std::string executablePath() override { return executable; }
    long processId() override { return pid; }
    void startShellScript(const std::string& path) override {
        if (failStart) throw Error("cannot start " + path);
        started.push_back(path);
    }

    std::string executable = "/opt/vantrel/vantrel";
    long pid = 4242;
    bool failStart = false;
    std::vector<std::string> started;  // every script started, in order
};

}  // namespace vantrel::sim
