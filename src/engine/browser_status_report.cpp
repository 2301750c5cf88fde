#include "engine/browser_status_report.h"

#include <algorithm>
#include <utility>

namespace vantrel {

namespace {

bool contains(const std::vector<WatchedBrowser>& browsers, const WatchedBrowser& browser) {
    return std::any_of(browsers.begin(), browsers.end(), [&](const WatchedBrowser& other) {
        return other.id == browser.id && other.way == browser.way;
    });
}

// Each browser's label once, in the order they came, with how many profiles of it are watched
// when more than one: "Firefox 153 (2 profiles)".
std::string tipFor(const std::vector<WatchedBrowser>& browsers) {
    if (browsers.empty()) return BrowserStatusReport::kNoneTip;
    std::vector<std::pair<std::string, int>> labels;
    for (const auto& browser : browsers) {
        const std::string label = browserLabel(browser);
        auto same = std::find_if(labels.begin(), labels.end(),
                                 [&](const auto& counted) { return counted.first == label; });
        if (same == labels.end()) {
            labels.emplace_back(label, 1);
        } else {
            ++same->second;
        }
    }
    std::string tip = "Vantrel: watching";
    for (size_t i = 0; i < labels.size(); ++i) {
        tip += (i ? ", " : " ") + labels[i].first;
        if (labels[i].second > 1) tip += " (" + std::to_string(labels[i].second) + " profiles)";
    }
    return tip;
}

}  // namespace

std::string browserLabel(const WatchedBrowser& browser) {
    const std::string major = browser.version.substr(0, browser.version.find('.'));
    return major.empty() ? browser.name : browser.name + " " + major;
}

BrowserStatusReport::BrowserStatusReport(BrowserStatus* status, TrayAlert& tray, KillLog& log,
                                         const BrowserRecovery& recovery)
    : status_(status), tray_(tray), log_(log), recovery_(recovery) {}

BrowserStatusReport::~BrowserStatusReport() {
    if (status_) status_->listenBrowsersChanged({});
}

void BrowserStatusReport::start() {
    if (!status_) return;
    status_->listenBrowsersChanged([this] { browsersChanged(); });
    browsersChanged();
}

void BrowserStatusReport::browsersChanged() {
    std::vector<WatchedBrowser> now = status_->watchedBrowsers();
    for (const auto& before : watched_) {
        if (!contains(now, before)) log_.note(browserLabel(before) + " disconnected");
    }
    for (const auto& browser : now) {
        if (!contains(watched_, browser)) {
            log_.note(browserLabel(browser) + (browser.way == WatchedBrowser::Way::DevTools
                                                   ? " connected over the DevTools protocol"
                                                   : " connected through the extension"));
        }
        noteUnanswered(browser);
    }
    watched_ = std::move(now);
    std::string tip = tipFor(watched_);
    if (tip == tip_) return;
    tip_ = std::move(tip);
    if (!recovery_.lost()) tray_.setTip(tip_);
}

void BrowserStatusReport::noteUnanswered(const WatchedBrowser& browser) {
    // What a browser let go before this run saw it was told by an earlier run.
    if (unanswered_.emplace(browser.process, browser.unanswered).second) return;
    std::int64_t& known = unanswered_[browser.process];
    // A count below the known one: the browser's extension started again, counting from 0.
    const std::int64_t more = browser.unanswered - (browser.unanswered < known ? 0 : known);
    known = browser.unanswered;
    if (more <= 0) return;
    log_.note(browserLabel(browser) + ": " + std::to_string(more) +
              (more == 1 ? " request" : " requests") + " went on without a verdict");
}

}  // namespace vantrel
