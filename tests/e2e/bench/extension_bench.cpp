// Times the blocker watching real browsers under Xvfb through the extension alone
// (`vantrelctl watch --attach extension`), the browsers on loopback:
//   - Firefox, what a document request waits for Vantrel's verdict, as a page sees it: a frame's
//     load of an allowed address (from setting its address to its load event) with Vantrel
//     watching, and the same loads after Vantrel quit, when the extension lets every request go
//     at once. The difference is the verdict's way from the extension's blocking listener
//     through the host and Vantrel and back, with whatever else watching costs on the way.
//   - Firefox, the decision's round trip as the extension sees it: each document request it
//     holds, from asking Vantrel to the verdict arriving, timed by a probe the bench runs after
//     the extension's background script (the extension itself carries no timing), over every
//     request of this bench's Firefox part and frames set to many addresses, some blocked.
//   - Firefox, a frame set to a blocked address: a cancelled frame fires no load event, so this
//     is timed by the driver, from its command that sets the address to Vantrel's log row: the
//     request's way to Vantrel and the decision, not the verdict's way back. The driver's
//     command alone is timed too.
//   - Click to pop-up closed, in Firefox and in Chromium with only the extension: from the
//     driver's click to Vantrel's log row and the pop-up gone from the browser's windows, and as
//     the opening page sees it, from its click handler to the pop-up's `closed`. Also from the
//     click handler to `window.open` returning: the browser builds the new window before that,
//     and only about then tells the extension the pop-up's address (Firefox holds the pop-up's
//     events to the extension while it builds the window), so this part of the close time is
//     the browser's own.
//   - Chromium's request rules on the 100k blacklist (`extension_bench rules` runs only this,
//     `extension_bench firefox` only the Firefox parts):
//     from the browser watched to the first rule set in force, and from the hot key that
//     blacklists the page in front to the rules with the new entry in force, each as Vantrel's
//     line about the browser tells it; beside each, the time the browser itself took to apply
//     the rules, as the extension reports it.
// Prints medians and 90th percentiles in milliseconds.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "../extension_setup.h"
#include "../watch_process.h"
#include "../x_desktop.h"
#include "bench_timing.h"
#include "tests/adapters/scoped_env.h"

using namespace chromium_test;
using namespace std::chrono_literals;
using firefox_test::FirefoxBrowser;

namespace {

constexpr int kPopups = 20;
constexpr int kFrames = 40;
constexpr int kBlocked = 10;
constexpr int kRuleChanges = 10;
// Frames set to addresses in turn for the round trip, in rounds (a page script's time is bounded).
constexpr int kMixedRounds = 4;
constexpr int kMixedFrames = 25;
constexpr const char* kRoundTrips = "/round-trips";
constexpr const char* kWatchedLine = "browsers watched through the extension:";

// A button that opens `popup` in a pop-up window, and a frame; the page keeps in `closedAfter`
// the time from each click to that pop-up's close, in `openReturned` to its `window.open`
// returning, and `loadFrames` times frame loads.
std::string frontPage(const std::string& popup) {
    return "<button id=pop style='display:block;width:200px;height:40px' onclick=\"openTimed('" +
           popup + "')\">pop</button><iframe id=f width=300 height=100></iframe><script>" +
           R"(
window.closedAfter = [];
window.openReturned = [];
window.openTimed = (url) => {
  const start = performance.now();
  const opened = window.open(url, '_blank', 'width=300,height=200');
  openReturned.push(performance.now() - start);
  // Firefox: null when Vantrel refused the window before the browser made it.
  const poll = () => !opened || opened.closed ? closedAfter.push(performance.now() - start)
                                              : setTimeout(poll, 0);
  poll();
};
// Each load's time, or -1 for a frame that did not load within 3 s. Each load starts 150 ms
// after the last one ended, when the work its end gave the extension is done.
window.loadFrames = async (path, count) => {
  const frame = document.getElementById('f');
  const times = [];
  for (let i = 0; i < count; ++i) {
    const start = performance.now();
    const loaded = await new Promise((done) => {
      const timer = setTimeout(() => done(false), 3000);
      frame.onload = () => { clearTimeout(timer); done(true); };
      frame.src = path + '?' + i;
    });
    times.push(loaded ? performance.now() - start : -1);
    await new Promise((done) => setTimeout(done, 150));
  }
  return times;
};
// Frames set to `count` addresses, every fourth one blocked; each waits for its load (a cancelled
// frame may have none) at most 500 ms, then 100 ms.
window.mixFrames = async (round, count) => {
  const frame = document.getElementById('f');
  for (let i = 0; i < count; ++i) {
    frame.src = (i % 4 === 3 ? '/ads/frame?' : '/frame?') + round + '-' + i;
    await new Promise((done) => {
      const timer = setTimeout(done, 500);
      frame.onload = () => { clearTimeout(timer); done(); };
    });
    await new Promise((done) => setTimeout(done, 100));
  }
};)" + "</script>";
}

// Runs in the extension's background after its script, seeing its bindings: times each request
// the extension holds from its asking Vantrel (the request's entry in `verdicts`) to the verdict
// arriving, and sends the times ("1.25a" let go, "0.80c" cancelled) to `to` 300 ms after the
// last verdict.
std::string roundTripProbe(const std::string& to) {
    return "{\n  const to = '" + to + "';\n" + R"(
  const asking = verdicts.set;
  let times = [];
  let sending = 0;
  const send = () => {
    fetch(to + '?' + times.join(','), { cache: 'no-store' }).catch(() => {});
    times = [];
  };
  verdicts.set = function (request, decide) {
    const asked = performance.now();
    return asking.call(this, request, (cancel) => {
      times.push((performance.now() - asked).toFixed(2) + (cancel ? 'c' : 'a'));
      decide(cancel);
      clearTimeout(sending);
      sending = setTimeout(send, 300);
    });
  };
}
)";
}

struct RoundTrips {
    std::vector<double> allowed, cancelled;
    size_t count() const { return allowed.size() + cancelled.size(); }
    std::vector<double> all() const {
        std::vector<double> times = allowed;
        times.insert(times.end(), cancelled.begin(), cancelled.end());
        return times;
    }
};

// The times the probe sent in the server's requests from the `from`th on.
RoundTrips roundTrips(const HttpServer& server, size_t from) {
    RoundTrips found;
    const std::string mark = std::string(" ") + kRoundTrips + "?";
    const auto requests = server.requests();
    for (size_t i = from; i < requests.size(); ++i) {
        const std::string& request = requests[i];
        const auto at = request.find(mark);
        if (at == std::string::npos) continue;
        std::istringstream times(request.substr(at + mark.size()));
        for (std::string time; std::getline(times, time, ',');) {
            if (time.empty()) continue;
            (time.back() == 'c' ? found.cancelled : found.allowed)
                .push_back(std::atof(time.c_str()));
        }
    }
    return found;
}

// The probe's times from the `from`th request on, once it has sent them all: none new for a
// second.
RoundTrips collectRoundTrips(const HttpServer& server, size_t from) {
    RoundTrips times = roundTrips(server, from);
    auto changed = Clock::now();
    eventually(
        [&] {
            const RoundTrips now = roundTrips(server, from);
            if (now.count() != times.count()) {
                times = now;
                changed = Clock::now();
            }
            return ms(changed, Clock::now()) > 1000;
        },
        10s);
    return times;
}

std::vector<double> numbers(const Json& values) {
    std::vector<double> v;
    for (const Json& value : values) {
        if (value.is_number() && value.get<double>() >= 0) v.push_back(value.get<double>());
    }
    return v;
}

// Vantrel's log row for `count` pop-ups, then the browser down to one window.
bool closed(WatchProcess& watch, size_t rows, const std::function<bool()>& oneWindow) {
    return watch.waitForRows(rows) && eventually(oneWindow);
}

std::unique_ptr<WatchProcess> startWatch(const std::vector<std::string>& arguments) {
    auto watch = std::make_unique<WatchProcess>(arguments);
    if (!watch->waitForError("connected\n")) {
        std::fprintf(stderr, "watch did not start: %s\n", watch->err.c_str());
        return nullptr;
    }
    return watch;
}

void progress(const char* step) {
    std::fprintf(stderr, "... %s\n", step);
}

bool watching(WatchProcess& watch, const std::string& browser) {
    return watch.waitFor(
        [&] {
            const auto line = watch.err.rfind(kWatchedLine);
            return line != std::string::npos &&
                   watch.err.substr(line, watch.err.find('\n', line) - line).find(browser) !=
                       std::string::npos;
        },
        60s);
}

// `kPopups` pop-ups opened by `click`, each timed from the driver's click to Vantrel's log row
// and `oneWindow`, then as the page saw them (`inPage` gives the value of a page's expression).
bool timePopups(const std::string& browser, WatchProcess& watch, const std::function<void()>& click,
                const std::function<bool()>& oneWindow,
                const std::function<Json(const std::string&)>& inPage) {
    std::vector<double> driverTimes;
    for (int i = 0; i < kPopups; ++i) {
        const auto start = Clock::now();
        click();
        if (!closed(watch, size_t(i) + 1, oneWindow)) {
            std::fprintf(stderr, "%s: pop-up %d not closed: %s\n", browser.c_str(), i,
                         watch.err.c_str());
            return false;
        }
        driverTimes.push_back(ms(start, Clock::now()));
    }
    printTimes((browser + ", click to pop-up logged and gone (driver)").c_str(), driverTimes);
    // The page's poll may see the last close a moment after the driver did.
    eventually([&] { return inPage("closedAfter.length") == kPopups; });
    printTimes((browser + ", click to pop-up closed (page)").c_str(),
               numbers(inPage("closedAfter")));
    printTimes((browser + ", click to window.open returning (page)").c_str(),
               numbers(inPage("openReturned")));
    return true;
}

bool benchFirefox(const TempDir& dir, HttpServer& server,
                  const std::vector<std::string>& watchArguments) {
    if (!FirefoxBrowser::installed()) {
        std::printf("Firefox: firefox-esr is not installed\n");
        return true;
    }
    auto watch = startWatch(watchArguments);
    if (!watch) return false;
    std::string error;
    const auto started =
        startFirefoxWithExtension(dir.path(), std::getenv("XDG_RUNTIME_DIR"), error,
                                  roundTripProbe(server.url("127.0.0.1", kRoundTrips)));
    if (!started) {
        std::fprintf(stderr, "Firefox: %s\n", error.c_str());
        return false;
    }
    FirefoxBrowser& firefox = *started;
    if (!watching(*watch, "firefox")) {
        std::fprintf(stderr, "Firefox never connected: %s\n", watch->err.c_str());
        return false;
    }
    progress("Firefox watched");
    std::printf("Firefox %s\n", firefox.version().c_str());
    firefox.navigate(server.url("127.0.0.1", "/"));

    if (!timePopups(
            "Firefox", *watch, [&] { firefox.click("#pop"); },
            [&] { return firefox.windows().size() == 1; },
            [&](const std::string& expression) {
                return firefox.evaluate("return " + expression + ";");
            })) {
        return false;
    }
    const RoundTrips opening = collectRoundTrips(server, 0);
    const size_t framesFrom = server.requests().size();

    progress("Firefox frames");
    const std::string frames = "return loadFrames('/frame', " + std::to_string(kFrames) + ");";
    const auto watched = numbers(firefox.evaluate(frames));
    std::vector<double> blocked, command;
    for (int i = 0; i < kBlocked; ++i) {
        const auto start = Clock::now();
        firefox.evaluate("document.getElementById('f').title = '" + std::to_string(i) + "';");
        command.push_back(ms(start, Clock::now()));
    }
    for (int i = 0; i < kBlocked; ++i) {
        const size_t rows = watch->rows().size();
        const auto start = Clock::now();
        firefox.evaluate("document.getElementById('f').src = '/ads/frame?" + std::to_string(i) +
                         "';");
        if (!watch->waitForRows(rows + 1)) break;
        blocked.push_back(ms(start, Clock::now()));
    }
    progress("Firefox frames to many addresses");
    for (int round = 0; round < kMixedRounds; ++round) {
        firefox.evaluate("return mixFrames(" + std::to_string(round) + ", " +
                         std::to_string(kMixedFrames) + ");");
    }
    const RoundTrips frameTrips = collectRoundTrips(server, framesFrom);
    watch->stop();
    // The extension's port has dropped: its listener lets requests go at once.
    std::this_thread::sleep_for(1s);
    const auto unwatched = numbers(firefox.evaluate(frames));
    printTimes("Firefox, frame load of an allowed address, Vantrel watching", watched);
    printTimes("Firefox, frame load of an allowed address, Vantrel not running", unwatched);
    std::printf("Firefox, verdict wait (difference of the medians): %.1f ms\n",
                median(watched) - median(unwatched));
    printTimes("Firefox, decision round trip in the extension, frames", frameTrips.all());
    printTimes("Firefox, decision round trip in the extension, frames cancelled",
               frameTrips.cancelled);
    printTimes("Firefox, decision round trip in the extension, the front page and pop-ups",
               opening.all());
    printTimes("Firefox, frame set to a blocked address to Vantrel's log row (driver)", blocked);
    printTimes("Firefox, the driver's command alone (part of the line above)", command);
    std::printf("Firefox, blocked frames: %zu of %d logged, %s reached the server\n",
                blocked.size(), kBlocked, server.requested("/ads/frame") ? "some" : "none");
    return true;
}

// Chromium with the extension written into `dir` and its host named in `profile`, watched by
// `watch` once this returns; nothing when it never connected.
std::unique_ptr<TestBrowser> startChromium(const TempDir& dir, const TempDir& profile,
                                           WatchProcess& watch) {
    auto browser = startChromiumWithExtension(dir.path(), profile);
    if (!watching(watch, "chromium")) {
        std::fprintf(stderr, "Chromium never connected: %s\n", watch.err.c_str());
        return nullptr;
    }
    return browser;
}

bool benchChromium(const TempDir& dir, HttpServer& server,
                   const std::vector<std::string>& watchArguments) {
    if (!std::filesystem::exists("/usr/bin/chromium")) {
        std::printf("Chromium: not installed\n");
        return true;
    }
    auto watch = startWatch(watchArguments);
    if (!watch) return false;
    TempDir profile;
    const auto chromium = startChromium(dir, profile, *watch);
    if (!chromium) return false;
    TestBrowser& browser = *chromium;
    progress("Chromium watched");
    PageDriver page(browser.connection(), "about:blank");
    const std::string front = server.url("site.test", "/chromium");
    browser.connection().call("Page.navigate", {{"url", front}}, page.sessionId());
    eventually([&] { return showsLoaded(page, front); });

    const bool timed = timePopups(
        "Chromium", *watch, [&] { page.click("#pop"); },
        [&] { return browser.pages().size() == 1; },
        [&](const std::string& expression) { return page.evaluate(expression); });
    watch->stop();
    return timed;
}

// The last line's "N request rules (M ms)" at or after `from`: N, and M the browser's own time.
struct RulesLine {
    long count = -1;
    double ms = -1;
};
RulesLine rulesLine(const std::string& err, size_t from) {
    const std::string mark = " request rules (";
    const auto at = err.rfind(mark);
    if (at == std::string::npos || at < from) return {};
    const auto count = err.rfind(' ', at - 1);
    return {std::atol(err.c_str() + count + 1), std::atof(err.c_str() + at + mark.size())};
}

bool benchChromiumRules(const TempDir& dir, HttpServer& server) {
    if (!std::filesystem::exists("/usr/bin/chromium")) {
        std::printf("Chromium: not installed\n");
        return true;
    }
    const auto arguments = extensionWatchArguments(dir.path(), server.url("127.0.0.1", ""));
    std::filesystem::copy_file(std::string(VANTREL_DATA_DIR) + "/blacklist-100k.lis",
                               dir.path() + "lists/blacklist.lis");
    auto watch = startWatch(arguments);
    if (!watch) return false;
    TempDir profile;
    const auto chromium = startChromium(dir, profile, *watch);
    if (!chromium) return false;
    TestBrowser& browser = *chromium;
    const auto watched = Clock::now();
    const size_t watchedAt = watch->err.size();
    // The whole list's rules, not only those of the advertising fragments.
    if (!watch->waitFor([&] { return rulesLine(watch->err, watchedAt).count > 1000; }, 60s)) {
        std::fprintf(stderr, "Chromium: no rules in force: %s\n", watch->err.c_str());
        return false;
    }
    const RulesLine installed = rulesLine(watch->err, watchedAt);
    std::printf(
        "Chromium, 100k list: watched to %ld rules in force %.0f ms (the browser's part "
        "%.0f ms)\n",
        installed.count, ms(watched, Clock::now()), installed.ms);

    PageDriver page(browser.connection(), "about:blank");
    std::vector<double> followed, applied;
    for (int i = 0; i < kRuleChanges; ++i) {
        const std::string site = server.url("site" + std::to_string(i) + ".test", "/");
        browser.connection().call("Page.navigate", {{"url", site}}, page.sessionId());
        if (!eventually([&] { return showsLoaded(page, site); })) {
            std::fprintf(stderr, "Chromium: %s never loaded\n", site.c_str());
            return false;
        }
        const size_t mark = watch->err.size();
        const auto pressed = Clock::now();
        if (std::system("xdotool key ctrl+alt+b") != 0 ||
            !watch->waitFor([&] { return rulesLine(watch->err, mark).count >= 0; }, 30s)) {
            std::fprintf(stderr, "Chromium: change %d not followed: %s\n", i, watch->err.c_str());
            return false;
        }
        followed.push_back(ms(pressed, Clock::now()));
        applied.push_back(rulesLine(watch->err, mark).ms);
    }
    printTimes("Chromium, 100k list: hot key to the new entry's rules in force", followed);
    printTimes("Chromium, 100k list: the browser's part of it", applied);
    watch->stop();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    XDesktop desktop;
    if (!desktop.ready()) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    TempDir dir;
    PrivateRuntime runtime(dir.path());
    HttpServer server;
    server.page("/", frontPage(server.url("127.0.0.1", "/window")));
    server.page("/chromium", frontPage(server.url("other.test", "/window")));
    server.page("/window", "a pop-up");
    server.page("/frame", "a frame");
    server.page("/ads/frame", "an advertisement");

    const auto arguments = extensionWatchArguments(dir.path(), server.url("127.0.0.1", ""));
    TempDir firefoxDir, chromiumDir, rulesDir;
    try {
        const bool ok = (only == "rules" || benchFirefox(firefoxDir, server, arguments)) &&
                        (!only.empty() || benchChromium(chromiumDir, server, arguments)) &&
                        (only == "firefox" || benchChromiumRules(rulesDir, server));
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        // Caught so that the browsers and the watcher are ended on the way out.
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
