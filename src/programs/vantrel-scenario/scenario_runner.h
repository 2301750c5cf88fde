#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/sim_world.h"
#include "shell/vantrel_form.h"

namespace vantrel::scenario {

// Runs one scenario file on a fresh simulated platform with a started main window. Each failed
// expectation (and each line that cannot be run) prints one line to `out`.
class ScenarioRunner {
  public:
    ScenarioRunner(std::string fileName, std::ostream& out);

    void runLine(int lineNumber, const std::string& line);

    int passed() const { return passed_; }
    int failed() const { return failed_; }

  private:
    using Words = std::vector<std::string>;

    void act(const Words& words, const std::string& line);
    void expect(const Words& words);
    void check(bool ok, const std::string& what, const std::string& got);
    void fail(const std::string& message);

    std::shared_ptr<sim::SimBrowser> window(const std::string& name) const;
    std::string& keyBox(const std::string& which);
    int hotKeyId(const std::string& which) const;
    void setSetting(const std::string& name, const std::string& value);

    std::string fileName_;
    std::ostream& out_;
    int lineNumber_ = 0;
    int passed_ = 0;
    int failed_ = 0;
    bool lastCancelled_ = false;
    sim::SimWorld world_;
    std::unique_ptr<VantrelForm> form_;
};

}  // namespace vantrel::scenario
