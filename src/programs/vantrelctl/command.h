#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrelctl {

using Args = std::vector<std::string>;

// Bad arguments or an unusable file: main prints the message on one line and exits with 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Command {
    std::string usage;    // for example "classify [--allowed FILE] ..."
    std::string summary;  // one line
    std::function<int(const Args&)> run;
};

std::map<std::string, Command>& commands();

// Each command file registers itself with one of these at namespace scope.
struct Registration {
    Registration(const std::string& name, Command command) {
        commands().emplace(name, std::move(command));
    }
};

// Takes "--name VALUE" out of `args`; empty when absent. Throws UsageError when VALUE is missing.
std::string takeOption(Args& args, const std::string& name);
// Takes "--name" out of `args`.
bool takeFlag(Args& args, const std::string& name);
// Throws UsageError when an argument starting with "--" is left.
void rejectUnknownOptions(const Args& args);

}  // namespace vantrelctl
