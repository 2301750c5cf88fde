// The URL classifier on the real data: each fast figure beside its plain-scan reference and
// beside two floors measured in the same run (reading each URL's bytes once; looking each
// dot-suffix of the URL's host up in a hash set of the list's entries).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unordered_set>

#include "common/text.h"
#include "engine/domain_lists.h"
#include "engine/substring_matcher.h"
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

// The URL files by the benchmarks' argument "file": 0 for request URLs, 1 for page URLs.
const std::vector<std::string>& urlFile(int64_t file) {
    static const std::vector<std::string> requests =
        parseListFile(readFile(kDataDir + "/urls-requests.txt"));
    static const std::vector<std::string> sites =
        parseListFile(readFile(kDataDir + "/urls-sites.txt"));
    return file == 0 ? requests : sites;
}

const std::vector<std::string>& requestUrls() {
    return urlFile(0);
}

// Consecutive additions to the loaded 100k list, enough to overflow the matcher's levels of
// added patterns up to the one of 32,768 (at about 4,700 additions).
constexpr size_t kConsecutiveAdds = 5000;

std::string addedUrl(size_t n) {
    return "http://www.added" + std::to_string(n) + ".example/x";
}

struct Loaded {
    DomainList clean;
    DomainList black;
    UrlClassifier classifier{clean, black, ""};
    explicit Loaded(size_t additions = 0) {
        black.assign(parseListFile(readFile(kBlacklist)));
        for (size_t n = 0; n < additions; ++n) black.insertSorted(DomainOfUrl(addedUrl(n)));
    }
};

// The loaded list, with kConsecutiveAdds additions after the load when `additions` is not 0.
const Loaded& loaded(int64_t additions = 0) {
    if (additions != 0) {
        static const Loaded grown(kConsecutiveAdds);
        return grown;
    }
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

// The median, 99th percentile and slowest of `values`, as counters named after `unit`.
void reportDistribution(benchmark::State& state, std::vector<double> values,
                        const std::string& unit) {
    std::sort(values.begin(), values.end());
    state.counters["median_" + unit] = values[values.size() / 2];
    state.counters["p99_" + unit] = values[values.size() * 99 / 100];
    state.counters["max_" + unit] = values.back();
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

std::vector<std::string> blacklistPatterns();

std::vector<std::string_view> viewsOf(const std::vector<std::string>& texts) {
    return {texts.begin(), texts.end()};
}

// The matcher alone over the 100k list's patterns.
void BM_MatcherMemory(benchmark::State& state) {
    const std::vector<std::string> texts = blacklistPatterns();
    const std::vector<std::string_view> patterns = viewsOf(texts);
    const long rssBefore = procStatusKb("VmRSS:");
    const long peakBefore = procStatusKb("VmHWM:");
    std::unique_ptr<SubstringMatcher> matcher;
    for (auto _ : state) {
        matcher = std::make_unique<SubstringMatcher>();
        matcher->assign(patterns);
    }
    state.counters["rss_delta_MB"] = double(procStatusKb("VmRSS:") - rssBefore) / 1024.0;
    state.counters["peak_delta_MB"] = double(procStatusKb("VmHWM:") - peakBefore) / 1024.0;
}
BENCHMARK(BM_MatcherMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

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

// One URL per iteration, cycling through a URL file; the argument "adds" is the number of
// additions after the load.
template <bool Linear>
void BM_CheckBannedUrl(benchmark::State& state) {
    const auto& classifier = loaded(state.range(1)).classifier;
    const auto& urls = urlFile(state.range(0));
    size_t i = 0;
    for (auto _ : state) {
        const std::string& url = urls[i];
        i = i + 1 == urls.size() ? 0 : i + 1;
        benchmark::DoNotOptimize(Linear ? classifier.CheckBannedUrlLinear(url)
                                        : classifier.CheckBannedUrl(url));
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_CheckBannedUrl<false>)
    ->Name("BM_CheckBannedUrl_Fast")
    ->ArgNames({"file", "adds"})
    ->Args({0, 0})
    ->Args({0, kConsecutiveAdds})
    ->Args({1, 0})
    ->Unit(benchmark::kNanosecond);
BENCHMARK(BM_CheckBannedUrl<true>)
    ->Name("BM_CheckBannedUrl_Linear")
    ->ArgNames({"file", "adds"})
    ->Args({0, 0})
    ->Unit(benchmark::kMicrosecond);

// Floor: every byte of each URL read once.
void BM_Floor_ReadBytes(benchmark::State& state) {
    const auto& urls = urlFile(state.range(0));
    size_t i = 0;
    for (auto _ : state) {
        const std::string& url = urls[i];
        i = i + 1 == urls.size() ? 0 : i + 1;
        unsigned sum = 0;
        for (char c : url) sum += static_cast<unsigned char>(c);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_Floor_ReadBytes)->ArgName("file")->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

// Floor: the URL's host and each of its dot-suffixes looked up in a hash set of the 100k
// entries, as if the list held whole host names only.
void BM_Floor_HostSuffixes(benchmark::State& state) {
    const std::vector<std::string> entries = parseListFile(readFile(kBlacklist));
    const std::unordered_set<std::string_view> set(entries.begin(), entries.end());
    const auto& urls = urlFile(state.range(0));
    size_t i = 0;
    for (auto _ : state) {
        const std::string& url = urls[i];
        i = i + 1 == urls.size() ? 0 : i + 1;
        std::string_view host = url;
        if (const size_t at = host.find("//"); at != host.npos) host.remove_prefix(at + 2);
        host = host.substr(0, host.find('/'));
        bool found = false;
        for (;;) {
            found = found || set.count(host) != 0;
            const size_t dot = host.find('.');
            if (dot == host.npos) break;
            host.remove_prefix(dot + 1);
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_Floor_HostSuffixes)->ArgName("file")->Arg(0)->Arg(1)->Unit(benchmark::kNanosecond);

// Each URL timed on its own: the median and the slowest of the per-URL times. The plain scan
// takes milliseconds per URL, so it times every 16th URL only.
template <bool Linear>
void BM_CheckBannedUrlPerUrl(benchmark::State& state) {
    const auto& classifier = loaded(state.range(0)).classifier;
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
    reportDistribution(state, std::move(ns), "ns");
}
BENCHMARK(BM_CheckBannedUrlPerUrl<false>)
    ->Name("BM_CheckBannedUrlPerUrl_Fast")
    ->ArgName("adds")
    ->Arg(0)
    ->Arg(kConsecutiveAdds)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckBannedUrlPerUrl<true>)
    ->Name("BM_CheckBannedUrlPerUrl_Linear")
    ->ArgName("adds")
    ->Arg(0)
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

// The upper-case domain parts by which the 100k list's entries match.
std::vector<std::string> blacklistPatterns() {
    std::vector<std::string> patterns;
    for (const std::string& entry : parseListFile(readFile(kBlacklist))) {
        if (entry.size() > 3 && !domainPart(entry).empty())
            patterns.push_back(toUpperAscii(domainPart(entry)));
    }
    return patterns;
}

// The matcher alone: each addition timed on its own, in microseconds.
void BM_MatcherAdd(benchmark::State& state) {
    const std::vector<std::string> texts = blacklistPatterns();
    const std::vector<std::string_view> patterns = viewsOf(texts);
    std::vector<double> us;
    double totalUs = 0;
    for (auto _ : state) {
        SubstringMatcher matcher;
        matcher.assign(patterns);
        us.clear();
        for (size_t n = 0; n < kConsecutiveAdds; ++n) {
            const std::string pattern = toUpperAscii(DomainOfUrl(addedUrl(n)));
            const auto start = Clock::now();
            matcher.add(pattern);
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        totalUs = 0;
        for (double t : us) totalUs += t;
        state.SetIterationTime(totalUs / 1e6);
    }
    state.counters["mean_us"] = totalUs / kConsecutiveAdds;
    reportDistribution(state, std::move(us), "us");
}
BENCHMARK(BM_MatcherAdd)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Each iteration adds one new domain to the loaded 100k list and writes the file.
void BM_AddURLToList_Fast(benchmark::State& state) {
    ListFolder folder;
    posix::PosixFileSystem files;
    DomainLists lists(files, folder.path());
    lists.LoadLists();
    std::vector<double> ms;
    size_t n = 0;
    for (auto _ : state) {
        const std::string url = addedUrl(n++);
        const auto start = Clock::now();
        lists.AddURLToList(lists.BlackList, url);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        ms.push_back(seconds * 1000);
    }
    state.counters["entries"] = double(lists.BlackList.size());
    reportDistribution(state, std::move(ms), "ms");
}
BENCHMARK(BM_AddURLToList_Fast)
    ->UseManualTime()
    ->Iterations(kConsecutiveAdds)
    ->Unit(benchmark::kMillisecond);

// Many additions in a row without saving in between, as a merge of downloaded entries does:
// the time of the whole batch of 500, and the matcher's share of it.
void BM_InsertSortedBatch(benchmark::State& state) {
    constexpr size_t kBatch = 500;
    const std::vector<std::string> lines = parseListFile(readFile(kBlacklist));
    const std::vector<std::string> loadedTexts = blacklistPatterns();
    const std::vector<std::string_view> loadedPatterns = viewsOf(loadedTexts);
    std::vector<std::string> patterns;
    for (size_t n = 0; n < kBatch; ++n) patterns.push_back(toUpperAscii(DomainOfUrl(addedUrl(n))));
    double matcherSeconds = 0;
    for (auto _ : state) {
        DomainList black;
        black.assign(lines);
        auto start = Clock::now();
        for (size_t n = 0; n < kBatch; ++n) black.insertSorted(DomainOfUrl(addedUrl(n)));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        SubstringMatcher matcher;
        matcher.assign(loadedPatterns);
        start = Clock::now();
        for (const std::string& pattern : patterns) matcher.add(pattern);
        matcherSeconds += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.counters["matcher_ms"] = matcherSeconds * 1000 / double(state.iterations());
}
BENCHMARK(BM_InsertSortedBatch)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

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
