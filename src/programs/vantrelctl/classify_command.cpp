#include <chrono>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/domain_lists.h"
#include "engine/url_classifier.h"
#include "platform/posix/posix_file_system.h"
#include "programs/vantrelctl/command.h"

namespace vantrelctl {
namespace {

using Clock = std::chrono::steady_clock;

void loadList(vantrel::DomainList& list, const std::string& path) {
    if (path.empty()) return;
    vantrel::posix::PosixFileSystem files;
    const auto data = files.readFile(path);
    if (!data) throw UsageError("cannot read list file \"" + path + "\"");
    list.assign(vantrel::parseListFile(*data));
}

// The lines of `data` as views into it, without their "\r\n" or "\n"; no line after a final
// line break.
std::vector<std::string_view> splitLines(std::string_view data) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        if (end == std::string_view::npos) end = data.size();
        std::string_view line = data.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

int runClassify(const Args& arguments) {
    Args args = arguments;
    const std::string allowedPath = takeOption(args, "--allowed");
    const std::string blacklistPath = takeOption(args, "--blacklist");
    const bool linear = takeFlag(args, "--linear");
    const bool stats = takeFlag(args, "--stats");
    rejectUnknownOptions(args);
    if (!args.empty()) throw UsageError("unexpected argument " + args.front());

    const auto loadStart = Clock::now();
    vantrel::DomainList clean;
    vantrel::DomainList black;
    loadList(clean, allowedPath);
    loadList(black, blacklistPath);
    // No registry here, so no vendor server address to exempt.
    const vantrel::UrlClassifier classifier(clean, black, "");
    const auto loadTime = Clock::now() - loadStart;

    // One buffer for all URLs and one for the output: no allocation per URL.
    auto input = vantrel::posix::PosixFileSystem().readFile("/dev/stdin");
    if (!input) throw UsageError("cannot read standard input");
    const std::vector<std::string_view> urls = splitLines(*input);
    std::vector<char> verdicts(urls.size() * 2);
    const auto classifyStart = Clock::now();
    for (size_t i = 0; i < urls.size(); ++i) {
        verdicts[2 * i] =
            linear ? classifier.CheckBannedUrlLinear(urls[i]) : classifier.CheckBannedUrl(urls[i]);
        verdicts[2 * i + 1] = linear ? classifier.CheckExceptionListLinear(urls[i])
                                     : classifier.CheckExceptionList(urls[i]);
    }
    const auto classifyTime = Clock::now() - classifyStart;

    std::string out;
    out.reserve(input->size() + urls.size() * 5);
    for (size_t i = 0; i < urls.size(); ++i) {
        out += verdicts[2 * i] ? '1' : '0';
        out += '\t';
        out += verdicts[2 * i + 1] ? '1' : '0';
        out += '\t';
        out += urls[i];
        out += '\n';
    }
    std::cout.write(out.data(), std::streamsize(out.size()));
    std::cout.flush();
    if (stats) {
        using std::chrono::duration;
        const double loadMs = duration<double, std::milli>(loadTime).count();
        const double nsPerUrl =
            urls.empty() ? 0.0
                         : duration<double, std::nano>(classifyTime).count() / double(urls.size());
        std::cerr << "urls=" << urls.size() << " load_ms=" << loadMs
                  << " classify_ns_per_url=" << nsPerUrl << '\n';
    }
    return std::cout ? 0 : 1;
}

const Registration registration(
    "classify",
    {"classify [--allowed FILE] [--blacklist FILE] [--linear] [--stats]",
     "print \"B<TAB>A<TAB>URL\" for each URL read on standard input: B is 1 for an advertising "
     "URL, A is 1 for an allowed one",
     runClassify});

}  // namespace
}  // namespace vantrelctl
