// Browser request rules made from the lists: the 100k blacklist and an empty allowed list into
// block and allow rules within the browser's limit. Only the making is timed; the counters tell
// what the rules' way into the browser has to carry (their addresses' and host names' bytes).
#include <benchmark/benchmark.h>

#include <stdexcept>

#include "engine/domain_lists.h"
#include "engine/request_rules.h"
#include "platform/posix/posix_file_system.h"

namespace {

using namespace vantrel;

void BM_RequestRulesFor100kBlacklist(benchmark::State& state) {
    posix::PosixFileSystem files;
    const auto text = files.readFile(std::string(VANTREL_DATA_DIR) + "/blacklist-100k.lis");
    if (!text) throw std::runtime_error("cannot read the 100k blacklist");
    DomainList allowed, black;
    black.assign(parseListFile(*text));
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

}  // namespace

BENCHMARK_MAIN();
