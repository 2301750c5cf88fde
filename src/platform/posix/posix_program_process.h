#pragma once

#include "platform/program_process.h"

namespace vantrel::posix {

class PosixProgramProcess : public ProgramProcess {
  public:
    std::string executablePath() override;
    long processId() override;
    void startShellScript(const std::string& path) override;
};

}  // namespace vantrel::posix
