#include <iostream>

#include "platform/sqlite/sqlite_registry.h"
#include "programs/vantrelctl/command.h"

namespace vantrelctl {
namespace {

// Positional arguments each action takes: KEY, then NAME, then VALUE.
size_t argumentCount(const std::string& action) {
    if (action == "list") return 1;
    if (action == "get" || action == "delete") return 2;
    if (action == "set") return 3;
    throw UsageError("unknown action \"" + action + "\" (list, get, set or delete)");
}

int runReg(Args args) {
    std::string path = takeOption(args, "--registry");
    rejectUnknownOptions(args);
    if (args.empty()) throw UsageError("missing action (list, get, set or delete)");
    const std::string action = args.front();
    args.erase(args.begin());
    if (args.size() != argumentCount(action)) {
        throw UsageError(action + " takes " + std::to_string(argumentCount(action)) +
                         " arguments, not " + std::to_string(args.size()));
    }
    if (path.empty()) path = vantrel::sqlite::defaultRegistryPath();

    vantrel::sqlite::SqliteRegistry registry(path);
    const std::string& key = args[0];
    if (action == "list") {
        for (const auto& [name, value] : registry.listValues(key)) {
            std::cout << name << '=' << value << '\n';
        }
    } else if (action == "get") {
        std::cout << registry.readValue(key, args[1]) << '\n';
    } else if (action == "set") {
        registry.writeValue(key, args[1], args[2]);
    } else {
        registry.deleteValue(key, args[1]);
    }
    return 0;
}

const Registration registration("reg",
                                {"reg list|get|set|delete [--registry DB] KEY [NAME [VALUE]]",
                                 "read and edit the registry database; list prints name=value "
                                 "lines",
                                 runReg});

}  // namespace
}  // namespace vantrelctl
