// The URL classifier on the real data: each fast figure beside its plain-scan reference.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "common/text.h"
#include "engine/domain_lists.h"
#include "engine/url_classifier.h"
#include "platform/posix/posix_file_system.h"

namespace {

using namespace vantrel;
using Clock = std::chrono::steady_clock;

const std::string kDataDir = VANTREL_DATA_DIR;
const std::string kBlacklist = kDataDir + "/blacklist-100k.lis";

std::string readFile(const std::string& path) {
    posix::PosixFileSystem files;
    auto data = files.readFile(path);
    if (!data) throw std::runtime_error("cannot read " + path);
    return *data;
}

const std::vector<std::string>& requestUrls() {
    static const std::vector<std::string> urls =
        parseListFile(readFile(kDataDir + "/urls-requests.txt"));
    return urls;
}

struct Loaded {
    DomainList clean;
    DomainList black;
    UrlClassifier classifier{clean, black, ""};
    Loaded() { black.assign(parseListFile(readFile(kBlacklist))); }
};

const Loaded& loaded() {
    static const Loaded instance;
    return instance;
}

// Resident and peak memory of this process in kB, from /proc.
long procStatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == field) return (status >> value) ? value : 0;
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// Registered first so that nothing else has touched the heap yet.
void BM_LoadMemory(benchmark::State& state) {
    const long rssBefore = procStatusKb("VmRSS:");
    const long peakBefore = procStatusKb("VmHWM:");
    std::unique_ptr<Loaded> list;
    for (auto _ : state) list = std::make_unique<Loaded>();
    state.counters["rss_delta_MB"] = double(procStatusKb("VmRSS:") - rssBefore) / 1024.0;
    state.counters["peak_delta_MB"] = double(procStatusKb("VmHWM:") - peakBefore) / 1024.0;
    state.counters["entries"] = double(list->black.size());
}
BENCHMARK(BM_LoadMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// Read, split, sort and build everything the fast path needs.
void BM_Load_Fast(benchmark::State& state) {
    for (auto _ : state) {
        DomainList black;
        black.assign(parseListFile(readFile(kBlacklist)));
        benchmark::DoNotOptimize(black.size());
    }
}
BENCHMARK(BM_Load_Fast)->Unit(benchmark::kMillisecond);

// What the plain scan needs: the sorted entries only.
void BM_Load_Reference(benchmark::State& state) {
    for (auto _ : state) {
        auto entries = parseListFile(readFile(kBlacklist));
        std::sort(entries.begin(), entries.end(),
                  [](const std::string& a, const std::string& b) { return entryLess(a, b); });
        benchmark::DoNotOptimize(entries.data());
    }
}
BENCHMARK(BM_Load_Reference)->Unit(benchmark::kMillisecond);

// One URL per iteration, cycling through the request URLs.
template <bool Linear>
void BM_CheckBannedUrl(benchmark::State& state) {
    const auto& classifier = loaded().classifier;
    const auto& urls = requestUrls();
    size_t i = 0;
    for (auto _ : state) {
        const std::string& url = urls[i];
        i = i + 1 == urls.size() ? 0 : i + 1;
        benchmark::DoNotOptimize(Linear ? classifier.CheckBannedUrlLinear(url)
                                        : classifier.CheckBannedUrl(url));
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_CheckBannedUrl<false>)->Name("BM_CheckBannedUrl_Fast")->Unit(benchmark::kNanosecond);
BENCHMARK(BM_CheckBannedUrl<true>)->Name("BM_CheckBannedUrl_Linear")->Unit(benchmark::kMicrosecond);

// Each URL timed on its own: the median and the slowest of the per-URL times. The plain scan
// takes milliseconds per URL, so it times every 16th URL only.
template <bool Linear>
void BM_CheckBannedUrlPerUrl(benchmark::State& state) {
    const auto& classifier = loaded().classifier;
    const auto& urls = requestUrls();
    const size_t stride = Linear ? 16 : 1;
    std::vector<double> ns;
    for (auto _ : state) {
        ns.clear();
        for (size_t i = 0; i < urls.size(); i += stride) {
            const std::string& url = urls[i];
            const auto start = Clock::now();
            benchmark::DoNotOptimize(Linear ? classifier.CheckBannedUrlLinear(url)
                                            : classifier.CheckBannedUrl(url));
            ns.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
        }
    }
    std::sort(ns.begin(), ns.end());
    state.counters["median_ns"] = ns[ns.size() / 2];
    state.counters["p99_ns"] = ns[ns.size() * 99 / 100];
    state.counters["max_ns"] = ns.back();
}
BENCHMARK(BM_CheckBannedUrlPerUrl<false>)
    ->Name("BM_CheckBannedUrlPerUrl_Fast")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckBannedUrlPerUrl<true>)
    ->Name("BM_CheckBannedUrlPerUrl_Linear")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// A folder under the system's temporary folder with blacklist.lis, removed at the end.
class ListFolder {
  public:
    ListFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vantrel-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
        path_ = pattern + "/";
        std::filesystem::copy_file(kBlacklist, path_ + DomainLists::kBlacklistFile);
    }
    ~ListFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Each iteration adds one new domain to the loaded 100k list and writes the file. Enough
// iterations to cross one merge of the matcher's delta into its main automaton (max_ms).
void BM_AddURLToList_Fast(benchmark::State& state) {
    ListFolder folder;
    posix::PosixFileSystem files;
    DomainLists lists(files, folder.path());
    lists.LoadLists();
    double maxMs = 0;
    size_t n = 0;
    for (auto _ : state) {
        const std::string url = "http://www.added" + std::to_string(n++) + ".example/x";
        const auto start = Clock::now();
        lists.AddURLToList(lists.BlackList, url);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        maxMs = std::max(maxMs, seconds * 1000);
    }
    state.counters["max_ms"] = maxMs;
    state.counters["entries"] = double(lists.BlackList.size());
}
BENCHMARK(BM_AddURLToList_Fast)->UseManualTime()->Iterations(1200)->Unit(benchmark::kMillisecond);

// The same on a bare sorted vector, as a list without a matcher would do it.
void BM_AddURLToList_Reference(benchmark::State& state) {
    ListFolder folder;
    posix::PosixFileSystem files;
    const std::string path = folder.path() + DomainLists::kBlacklistFile;
    std::vector<std::string> entries = parseListFile(readFile(path));
    std::sort(entries.begin(), entries.end(),
              [](const std::string& a, const std::string& b) { return entryLess(a, b); });
    size_t n = 0;
    for (auto _ : state) {
        std::string domain = DomainOfUrl("http://www.added" + std::to_string(n++) + ".example/x");
        const auto start = Clock::now();
        const auto at = std::upper_bound(
            entries.begin(), entries.end(), domain,
            [](const std::string& a, const std::string& b) { return entryLess(a, b); });
        entries.insert(at, std::move(domain));
        replaceFileContents(files, path, formatListFile(entries));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}
BENCHMARK(BM_AddURLToList_Reference)
    ->UseManualTime()
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
