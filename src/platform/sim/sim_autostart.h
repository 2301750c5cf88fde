#pragma once

#include <optional>
#include <string>

#include "common/error.h"
#include "platform/autostart.h"

namespace vantrel::sim {

// The login entry in memory: a test sees the path it holds and can make writing it fail.
class SimAutostart : public Autostart {
  public:
    static constexpr const char* kExecutable = "/opt/vantrel/vantrel";

    bool exists() override { return entry.has_value(); }
    void add() override {
        if (entry) return;
        if (failWrites) throw Error("cannot write the autostart entry");
        entry = kExecutable;
    }
    void remove() override {
        if (!failWrites) entry.reset();
    }

    std::optional<std::string> entry;  // the executable the entry starts; nothing: no entry
    bool failWrites = false;           // adding throws Error; removing silently fails
};

}  // namespace vantrel::sim
