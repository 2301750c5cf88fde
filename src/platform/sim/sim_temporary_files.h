#pragma once

#include <string>

#include "platform/sim/sim_file_system.h"
#include "platform/temporary_files.h"

namespace vantrel::sim {

// Temporary files in a simulated file system, numbered in order of creation.
class SimTemporaryFiles : public TemporaryFiles {
  public:
    explicit SimTemporaryFiles(SimFileSystem& files) : files_(files) {}

    std::string createTemporaryFile(std::string_view data, std::string_view suffix) override {
        std::string path = "/tmp/vantrel-" + std::to_string(++created) + std::string(suffix);
        files_.writeFile(path, data);
        return path;
    }

    int created = 0;

  private:
    SimFileSystem& files_;
};

}  // namespace vantrel::sim
