// The engine's two hot paths on the simulated platform: a sweep over many windows, and the scan
// of a large page with many banners and links.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/page_scanner.h"
#include "platform/sim/sim_world.h"
#include "shell/vantrel_form.h"

using namespace vantrel;

namespace {

// 1,000 images of which every tenth has banner size, 2,000 links, padded to about 1 MB.
std::string largePage() {
    std::string body;
    int link = 0;
    for (int i = 0; i < 1000; ++i) {
        body += "<p>text " + std::to_string(i) + "</p>";
        body += "<a href=\"http://site.example/article/" + std::to_string(link++) + "\">more</a>";
        body += "<a href=\"http://ads" + std::to_string(i % 7) +
                ".example/click?id=" + std::to_string(link++) + "\">";
        const bool banner = i % 10 == 0;
        body += "<img src=\"http://img.example/pictures/p" + std::to_string(i) + ".gif\" " +
                (banner ? "width=468 height=60" : "width=80 height=80") + "></a>";
        body += std::string(950, 'x');
    }
    return body;
}

void BM_SweepOver50Windows(benchmark::State& state) {
    sim::SimWorld world;
    VantrelForm form(world.platform());
    form.FormCreate();
    for (int i = 0; i < 100; ++i) {
        form.lists.CleanList.insertSorted("allowed" + std::to_string(i) + ".example");
    }
    for (int i = 0; i < 1000; ++i) {
        form.lists.BlackList.insertSorted("blocked" + std::to_string(i) + ".example:1");
    }
    for (int i = 0; i < 50; ++i) {
        world.browsers.open("w" + std::to_string(i),
                            "http://www.news" + std::to_string(i) + ".example/world/story.html");
    }
    for (auto _ : state) {
        form.popupKiller.killpopupad();
        if (!world.browsers.closed.empty()) state.SkipWithError("a window was closed");
    }
}
BENCHMARK(BM_SweepOver50Windows);

void BM_ScanLargePage(benchmark::State& state) {
    const std::string body = largePage();
    sim::SimWorld world;
    Settings settings;
    settings.killbanner = "1";
    DomainList clean, black;
    UrlClassifier classifier(clean, black, "");
    PageScanner scanner(settings, world.desktop, classifier, "/opt/vantrel/",
                        "http://vantrel.example/");
    auto window = world.browsers.open("page", "http://news.example/");
    for (auto _ : state) {
        state.PauseTiming();
        window->document = std::make_shared<sim::SimDocument>(body);
        state.ResumeTiming();
        scanner.CheckDocument(window);
    }
    state.counters["markup_bytes"] = double(window->document->markup().size());
    state.counters["links_repointed"] = 0;
    for (const auto& l : window->document->links()) {
        if (l.href == "http://vantrel.example/") state.counters["links_repointed"] += 1;
    }
}
BENCHMARK(BM_ScanLargePage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
