// Browser request rules made from the lists: the 100k blacklist and an empty allowed list into
// block and allow rules within the browser's limit. Only the making is timed; the counters tell
// what the rules' way into the browser has to carry (their addresses' and host names' bytes).
// Then what follows one entry added to or removed from that list: the new set made, numbered
// and compared with the set before, the counters telling how many rules changed.
#include <benchmark/benchmark.h>

#include <stdexcept>

#include "engine/domain_lists.h"
#include "engine/request_rules.h"
#include "platform/posix/posix_file_system.h"

namespace {

using namespace vantrel;

std::vector<std::string> blacklist100k() {
    posix::PosixFileSystem files;
    const auto text = files.readFile(std::string(VANTREL_DATA_DIR) + "/blacklist-100k.lis");
    if (!text) throw std::runtime_error("cannot read the 100k blacklist");
    return parseListFile(*text);
}

void BM_RequestRulesFor100kBlacklist(benchmark::State& state) {
    DomainList allowed, black;
    black.assign(blacklist100k());
    RequestRuleSet set;
    for (auto _ : state) {
        set = requestRulesFor(allowed, black, "");
        benchmark::DoNotOptimize(set);
    }
    size_t bytes = 0;
    for (const auto& rule : set.rules) {
        bytes += rule.urlFilter.size();
        for (const auto& domain : rule.requestDomains) bytes += domain.size();
    }
    state.counters["rules"] = double(set.rules.size());
    state.counters["text_bytes"] = double(bytes);
    state.counters["partly_covered"] = double(set.entriesPartlyCovered);
    state.counters["not_covered"] = double(set.entriesNotCovered);
}
BENCHMARK(BM_RequestRulesFor100kBlacklist)->Unit(benchmark::kMillisecond);

void BM_RequestRuleChangeOn100kBlacklist(benchmark::State& state) {
    DomainList allowed, black;
    black.assign(blacklist100k());
    RequestRuleIds ids;
    RequestRuleSet set = requestRulesFor(allowed, black, "");
    ids.number(set);
    size_t changed = 0;
    for (auto _ : state) {
        // Added in one round, removed in the next: among the rules of their own, before the
        // packed names.
        const std::string entry = "0-new-tracker.example";
        if (black.at(0) == entry) {
            black.removeAt(0);
        } else {
            black.insertSorted(entry);
        }
        set = requestRulesFor(allowed, black, "");
        const RequestRuleChange change = ids.number(set);
        changed += change.removedIds.size() + change.addedRules.size();
    }
    state.counters["rules_changed"] =
        benchmark::Counter(double(changed), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RequestRuleChangeOn100kBlacklist)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
