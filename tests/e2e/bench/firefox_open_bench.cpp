// What Firefox's own `window.open` costs, and what an extension adds to it: the time from the
// call to its return, as the opening page sees it, in several Firefox ESR under one Xvfb at once,
// each on a fresh profile:
//   - without any extension;
//   - with an extension that has a blocking request listener letting every request go at once;
//   - with an extension whose blocking listener holds every request 100 ms;
//   - with Vantrel's extension, `vantrelctl watch --attach extension` watching (its listener
//     waits for Vantrel's verdict; Vantrel closes the pop-up).
// The pop-ups are opened in turn across the browsers, so a change of the machine's load falls on
// all of them alike. Each window is closed by the page right after `window.open` returned, and the
// next opens once the browser is back to one window. Prints medians and 90th percentiles in
// milliseconds, per browser and kind of window.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../extension_setup.h"
#include "../watch_process.h"
#include "../x_desktop.h"
#include "bench_timing.h"
#include "platform/webext/zip_archive.h"
#include "tests/adapters/scoped_env.h"

using namespace chromium_test;
using firefox_test::FirefoxBrowser;

namespace {

constexpr int kRounds = 12;

struct Kind {
    const char* name;
    const char* url;  // a path on the server, or an address as it is
    const char* features;
};

const std::vector<Kind> kKinds = {
    {"sized pop-up, same site", "/window", "width=300,height=200"},
    {"sized pop-up, other site", "http://other.test:PORT/window", "width=300,height=200"},
    {"sized pop-up, about:blank", "about:blank", "width=300,height=200"},
    {"popup feature only", "/window", "popup"},
    {"new tab", "/window", ""},
};

// One button per kind; each click keeps the time `window.open` took in `returned[kind]`.
std::string openerPage(int port) {
    std::string page =
        "<script>window.returned = [];\n"
        "window.openTimed = (kind, url, features) => {\n"
        "  const start = performance.now();\n"
        "  const opened = window.open(url, '_blank', features);\n"
        "  (returned[kind] = returned[kind] || []).push(performance.now() - start);\n"
        "  if (opened) opened.close();\n"
        "};</script>";
    for (size_t i = 0; i < kKinds.size(); ++i) {
        std::string url = kKinds[i].url;
        const auto at = url.find("PORT");
        if (at != std::string::npos) url.replace(at, 4, std::to_string(port));
        page += "<button id=k" + std::to_string(i) +
                " style='display:block;width:200px;height:30px' onclick=\"openTimed(" +
                std::to_string(i) + ", '" + url + "', '" + kKinds[i].features + "')\">" +
                std::to_string(i) + "</button>";
    }
    return page;
}

// A packed Manifest V2 extension with a blocking listener for document requests that answers
// after `holdMs` (at once for 0).
std::string probeExtension(const std::string& folder, int holdMs) {
    const std::string manifest = R"({"manifest_version": 2, "name": "probe", "version": "1",
 "browser_specific_settings": {"gecko": {"id": "probe@vantrel.invalid"}},
 "permissions": ["webRequest", "webRequestBlocking", "<all_urls>"],
 "background": {"scripts": ["background.js"]}})";
    const std::string hold = std::to_string(holdMs);
    const std::string script =
        "browser.webRequest.onBeforeRequest.addListener((d) => " +
        (holdMs == 0 ? std::string("({})")
                     : "new Promise((done) => setTimeout(() => done({}), " + hold + "))") +
        ", { urls: ['<all_urls>'], types: ['main_frame', 'sub_frame'] }, ['blocking']);\n";
    const std::string path = folder + "probe.xpi";
    std::ofstream(path, std::ios::binary)
        << vantrel::webext::zipArchive({{"manifest.json", manifest}, {"background.js", script}});
    return path;
}

struct Subject {
    std::string name;
    std::unique_ptr<TempDir> dir;
    std::unique_ptr<FirefoxBrowser> browser;
    std::vector<std::vector<double>> times;  // per kind
};

std::unique_ptr<FirefoxBrowser> plainFirefox(const TempDir& dir) {
    auto firefox = std::make_unique<FirefoxBrowser>(
        firefox_test::FirefoxOptions{dir.path() + "home/", dir.path() + "profile", {}});
    return firefox->ready() ? std::move(firefox) : nullptr;
}

bool withProbe(FirefoxBrowser& firefox, const TempDir& dir, int holdMs) {
    return firefox.installFromFile(probeExtension(dir.path(), holdMs), "probe@vantrel.invalid");
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!FirefoxBrowser::installed()) {
        std::printf("firefox-esr is not installed\n");
        return 0;
    }
    XDesktop desktop;
    if (!desktop.ready()) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    TempDir dir;
    PrivateRuntime runtime(dir.path());
    HttpServer server;
    const std::string window = server.url("127.0.0.1", "/window");
    server.page("/", openerPage(std::stoi(window.substr(window.rfind(':') + 1))));
    server.page("/window", "a window");

    WatchProcess watch(extensionWatchArguments(dir.path(), server.url("127.0.0.1", "")));
    if (!watch.waitForError("connected\n")) {
        std::fprintf(stderr, "watch did not start: %s\n", watch.err.c_str());
        return 1;
    }
    std::vector<Subject> subjects;
    try {
        for (const char* name : {"no extension", "listener letting go at once",
                                 "listener holding 100 ms", "Vantrel's extension, watched"}) {
            Subject subject{name, std::make_unique<TempDir>(), nullptr, {}};
            const std::string which = name;
            std::string error;
            if (which == "Vantrel's extension, watched") {
                subject.browser =
                    startFirefoxWithExtension(subject.dir->path(), runtime.path(), error);
            } else {
                subject.browser = plainFirefox(*subject.dir);
                if (subject.browser && which != "no extension" &&
                    !withProbe(*subject.browser, *subject.dir,
                               which == "listener holding 100 ms" ? 100 : 0)) {
                    error = subject.browser->error();
                    subject.browser.reset();
                }
            }
            if (!subject.browser) {
                std::fprintf(stderr, "%s: Firefox did not start: %s\n", name, error.c_str());
                return 1;
            }
            subject.browser->navigate(server.url("127.0.0.1", "/"));
            subject.times.resize(kKinds.size());
            subjects.push_back(std::move(subject));
        }
        if (!watch.waitFor(
                [&] { return watch.err.find("extension: firefox") != std::string::npos; },
                std::chrono::seconds(60))) {
            std::fprintf(stderr, "Firefox never connected: %s\n", watch.err.c_str());
            return 1;
        }
        std::printf("Firefox %s\n", subjects[0].browser->version().c_str());
        for (int round = 0; round < kRounds; ++round) {
            for (size_t kind = 0; kind < kKinds.size(); ++kind) {
                for (Subject& subject : subjects) {
                    FirefoxBrowser& firefox = *subject.browser;
                    firefox.click("#k" + std::to_string(kind));
                    if (!eventually([&] {
                            return firefox.windows().size() == 1 &&
                                   firefox.windows()[0].tabs.size() == 1;
                        })) {
                        std::fprintf(stderr, "%s: the window stayed\n", subject.name.c_str());
                        return 1;
                    }
                }
            }
        }
        for (Subject& subject : subjects) {
            for (size_t kind = 0; kind < kKinds.size(); ++kind) {
                const Json values = subject.browser->evaluate("return returned[" +
                                                              std::to_string(kind) + "] || [];");
                std::vector<double> v;
                for (const Json& value : values) v.push_back(value.get<double>());
                printTimes((subject.name + ", " + kKinds[kind].name + ": window.open").c_str(), v);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
