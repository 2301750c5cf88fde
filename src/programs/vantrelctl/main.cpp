#include <iostream>

#include "common/error.h"
#include "programs/vantrelctl/command.h"

namespace vantrelctl {

std::map<std::string, Command>& commands() {
    static std::map<std::string, Command> all;
    return all;
}

std::string takeOption(Args& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != name) continue;
        if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
        std::string value = args[i + 1];
        args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
        return value;
    }
    return {};
}

bool takeFlag(Args& args, const std::string& name) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            args.erase(args.begin() + long(i));
            return true;
        }
    }
    return false;
}

void rejectUnknownOptions(const Args& args) {
    for (const auto& a : args) {
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) throw UsageError("unknown option " + a);
    }
}

namespace {

void printHelp(std::ostream& out) {
    out << "usage: vantrelctl COMMAND [ARGS]\n\n"
           "Runs the Vantrel core from the command line.\n\ncommands:\n";
    for (const auto& [name, command] : commands()) {
        out << "  " << command.usage << "\n      " << command.summary << "\n";
    }
    out << "  --help\n      show this text\n";
}

}  // namespace
}  // namespace vantrelctl

int main(int argc, char** argv) {
    using namespace vantrelctl;
    std::ios::sync_with_stdio(false);
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        printHelp(std::cout);
        return argc < 2 ? 2 : 0;
    }
    auto it = commands().find(argv[1]);
    if (it == commands().end()) {
        std::cerr << "vantrelctl: unknown command " << argv[1] << " (see vantrelctl --help)\n";
        return 2;
    }
    try {
        return it->second.run(Args(argv + 2, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "vantrelctl " << it->first << ": " << e.what() << "\n";
    } catch (const vantrel::Error& e) {
        std::cerr << "vantrelctl " << it->first << ": " << e.what() << "\n";
    }
    return 2;
}
