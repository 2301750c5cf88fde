// vantrel-scenario FILE...: runs engine stories written as scenario files (docs/SCENARIOS.md).
#include <fstream>
#include <iostream>

#include "programs/vantrel-scenario/scenario_runner.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: vantrel-scenario FILE...\n";
        return 2;
    }
    int passed = 0;
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i]);
        if (!in) {
            std::cout << argv[i] << ": cannot be read\n";
            ++failed;
            continue;
        }
        vantrel::scenario::ScenarioRunner runner(argv[i], std::cout);
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) runner.runLine(number, line);
        passed += runner.passed();
        failed += runner.failed();
    }
    std::cout << passed << " passed, " << failed << " failed\n";
    return failed == 0 ? 0 : 1;
}
