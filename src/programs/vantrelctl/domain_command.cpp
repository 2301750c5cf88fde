#include <iostream>
#include <string>

#include "engine/domain_list.h"
#include "programs/vantrelctl/command.h"

namespace vantrelctl {
namespace {

int runDomain(const Args& args) {
    if (!args.empty()) throw UsageError("takes no arguments, reads texts on standard input");
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::cout << vantrel::DomainOfUrl(line) << '\n';
    }
    return 0;
}

const Registration registration("domain", {"domain",
                                           "print the domain that would be added for each text "
                                           "read on standard input, one a line",
                                           runDomain});

}  // namespace
}  // namespace vantrelctl
