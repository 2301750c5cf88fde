#include "platform/chromium/target_tracker.h"

#include <algorithm>
#include <future>
#include <limits>

#include "platform/browser.h"
#include "platform/chromium/page_scripts.h"

namespace vantrel::chromium {

namespace {

using Millis = CdpConnection::Millis;

// A window closed while it still starts waits this long for its first request before it is
// closed anyway (a window opened without an address makes none).
constexpr Millis kStartingWindowGrace{500};
// A question to a page about its window: answered in a few ms, unless the page hangs.
constexpr Millis kWindowQueryTimeout{2000};
// Reading a big page takes a while (a few hundred ms for 8 MB of markup).
constexpr Millis kSnapshotTimeout{15000};

const Json kAutoAttach = {
    {"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}};
// On the browser session service workers are left out: one that the browser starts for an
// event (an extension's button press, a push) loses the event when it waits for a debugger.
const Json kBrowserAutoAttach = [] {
    Json options = kAutoAttach;
    options["filter"] = {{{"type", "browser"}, {"exclude", true}},
                         {{"type", "tab"}, {"exclude", true}},
                         {{"type", "service_worker"}, {"exclude", true}},
                         Json::object()};
    return options;
}();

std::string text(const Json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool hasFeature(const std::vector<std::string>& features, const char* name) {
    return std::find(features.begin(), features.end(), name) != features.end();
}

}  // namespace

TargetTracker::TargetTracker(std::unique_ptr<CdpConnection> connection, EventLoop& loop,
                             std::shared_ptr<WindowEvents> events)
    : connection_(std::move(connection)), loop_(loop), events_(std::move(events)) {
    connection_->onEvent(
        [this](const std::string& method, const Json& params, const std::string& sessionId) {
            handleEvent(method, params, sessionId);
        });
    connection_->onClosed([this] { toMain([](WindowEvents& e) { e.browserGone(); }); });
    connection_->start();
}

TargetTracker::~TargetTracker() {
    close();
}

void TargetTracker::close() {
    connection_->close([this] { releaseAll(); });
}

std::vector<TargetTracker::OpenWindow> TargetTracker::start() {
    connection_->call("Target.setDiscoverTargets", {{"discover", true}});
    connection_->call("Target.setAutoAttach", kBrowserAutoAttach);
    // The targets that exist were reported before the replies; read them on the I/O thread.
    struct Known {
        std::vector<std::pair<OpenWindow, std::string>> windows;  // with their sessions
        std::vector<std::shared_future<void>> prepared;
    };
    auto known = std::make_shared<std::promise<Known>>();
    auto future = known->get_future();
    connection_->post([this, known] {
        Known k;
        for (const auto& id : order_) {
            Target& target = targets_[id];
            // Judged here, once for all.
            target.barsKnown = true;
            k.windows.push_back({{id, target.url}, target.sessionId});
            if (target.prepared.valid()) k.prepared.push_back(target.prepared);
        }
        known->set_value(std::move(k));
    });
    const auto deadline = std::chrono::steady_clock::now() + CdpConnection::kDefaultTimeout;
    if (future.wait_until(deadline) != std::future_status::ready) {
        throw BrowserError("the browser's windows could not be listed");
    }
    Known k = future.get();
    // Connected means watched: a navigation right after must already be intercepted and its
    // document must report focus. A page that never answers only loses its share of the wait.
    for (const auto& prepared : k.prepared) prepared.wait_until(deadline);

    // The browser lists its windows by place, not by age. History entries are numbered across
    // the browser as they are made, so a window's first entry tells its age.
    std::vector<std::pair<long long, OpenWindow>> ranked;
    for (auto& [window, sessionId] : k.windows) {
        long long firstEntry = std::numeric_limits<long long>::max();
        try {
            const Json history = connection_->call("Page.getNavigationHistory", Json::object(),
                                                   sessionId, kWindowQueryTimeout);
            for (const auto& entry : history.value("entries", Json::array())) {
                if (entry.contains("id") && entry["id"].is_number_integer()) {
                    firstEntry = std::min(firstEntry, entry["id"].get<long long>());
                }
            }
            const Json shape = connection_->call(
                "Runtime.evaluate", {{"expression", popUpShapeScript()}, {"returnByValue", true}},
                sessionId, kWindowQueryTimeout);
            window.popUp = shape.value("result", Json::object()).value("value", Json()) == true;
        } catch (const BrowserError&) {
            // A page that does not answer is taken for the newest full window.
        }
        ranked.emplace_back(firstEntry, std::move(window));
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<OpenWindow> windows;
    for (auto& [age, window] : ranked) windows.push_back(std::move(window));
    return windows;
}

void TargetTracker::handleEvent(const std::string& method, const Json& params,
                                const std::string& sessionId) {
    if (method == "Fetch.requestPaused") {
        requestPaused(params, sessionId);
    } else if (method == "Page.lifecycleEvent") {
        lifecycle(params, sessionId);
    } else if (method == "Page.frameNavigated") {
        frameNavigated(params, sessionId);
    } else if (method == "Page.frameDetached" && text(params, "reason") != "swap") {
        if (auto target = targets_.find(pageOf(sessionId)); target != targets_.end()) {
            target->second.loaders.erase(text(params, "frameId"));
        }
    } else if (method == "Page.windowOpen") {
        windowOpen(params, sessionId);
    } else if (method == "Target.attachedToTarget") {
        attached(params, sessionId);
    } else if (method == "Target.targetCreated") {
        targetCreated(params.value("targetInfo", Json::object()));
    } else if (method == "Target.targetInfoChanged") {
        const Json info = params.value("targetInfo", Json::object());
        auto it = targets_.find(text(info, "targetId"));
        // No address yet is no news: a window keeps the one it is opening.
        if (it == targets_.end() || text(info, "url").empty() ||
            it->second.url == text(info, "url")) {
            return;
        }
        it->second.url = text(info, "url");
        toMain([id = it->first, url = it->second.url](WindowEvents& e) {
            e.windowUrlChanged(id, url);
        });
    } else if (method == "Target.targetDestroyed") {
        targetGone(text(params, "targetId"));
    } else if (method == "Target.detachedFromTarget") {
        const std::string id = text(params, "sessionId");
        sessions_.erase(id);
        std::erase_if(paused_, [&](const auto& p) { return p.second.sessionId == id; });
    } else if (method == "Target.targetCrashed" || method == "Inspector.targetCrashed") {
        const std::string page =
            method == "Inspector.targetCrashed" ? pageOf(sessionId) : text(params, "targetId");
        if (!targets_.count(page)) return;
        toMain([page](WindowEvents& e) { e.windowCrashed(page); });
    } else if (method == "Runtime.bindingCalled" && text(params, "name") == kFocusBinding) {
        const std::string page = pageOf(sessionId);
        if (page.empty()) return;
        toMain([page, focused = text(params, "payload") == "1"](WindowEvents& e) {
            e.focusReported(page, focused);
        });
    }
}

void TargetTracker::targetCreated(const Json& info) {
    const std::string id = text(info, "targetId");
    if (text(info, "type") != "page" || id.empty() || targets_.count(id)) return;
    Target& target = targets_[id];
    target.url = text(info, "url");
    // A window opened by a page starts with no address; anything else is already running.
    target.started = !target.url.empty();
    bool toolbar = true, menubar = true;
    const std::string opener = text(info, "openerId");
    if (!opener.empty()) {
        auto open = lastOpen_.find(opener);
        if (open != lastOpen_.end()) {
            // The page's latest request is the one that opened it; older ones were refused.
            target.openedBy = open->second;
            target.openedBy->targetId = id;
            // Until its first page commits, a window shows the address it is opening.
            if (target.url.empty()) target.url = open->second->url;
            toolbar = hasFeature(open->second->features, "toolbar");
            menubar = hasFeature(open->second->features, "menubar");
            lastOpen_.erase(open);
        } else {
            target.barsKnown = false;
        }
    }
    order_.push_back(id);
    toMain([id, url = target.url, toolbar, menubar](WindowEvents& e) {
        e.windowCreated(id, url, toolbar, menubar);
    });
    if (target.openedBy && target.openedBy->cancelled) beginQuit(id);
}

void TargetTracker::attached(const Json& params, const std::string& parentSession) {
    const Json info = params.value("targetInfo", Json::object());
    const std::string sessionId = text(params, "sessionId");
    const std::string targetId = text(info, "targetId");
    const std::string type = text(info, "type");
    if (type == "page") {
        targetCreated(info);
        // A session of another client on a page Vantrel already watches (a tool's own attach).
        if (!targets_[targetId].sessionId.empty()) return;
        sessions_[sessionId] = {targetId, targetId};
        auto& target = targets_[targetId];
        target.sessionId = sessionId;
        auto ready = std::make_shared<std::promise<void>>();
        target.prepared = ready->get_future().share();
        prepareSession(sessionId, true, [ready] { ready->set_value(); });
        return;
    }
    const std::string page = pageOf(parentSession);
    if (type == "iframe" && !page.empty()) {
        sessions_[sessionId] = {targetId, page};
        prepareSession(sessionId, false);
        return;
    }
    // Workers and the like: let them run and leave them alone.
    connection_->send("Runtime.runIfWaitingForDebugger", Json::object(), sessionId);
    connection_->send("Target.detachFromTarget", {{"sessionId", sessionId}}, parentSession);
}

void TargetTracker::prepareSession(const std::string& sessionId, bool isPage,
                                   std::function<void()> onPrepared) {
    // Sent back to back: waiting for a reply before the resume deadlocks windows opened with
    // noopener, whose Page.enable answers only once they run. The replies are only counted.
    // One more than the commands out, until all are sent: a send that fails answers at once.
    auto unanswered = std::make_shared<int>(1);
    auto answered = [unanswered, onPrepared = std::move(onPrepared)] {
        if (--*unanswered == 0 && onPrepared) onPrepared();
    };
    auto send = [&](const char* method, Json params) {
        ++*unanswered;
        connection_->send(method, std::move(params), sessionId,
                          [answered](const CdpReply&) { answered(); });
    };
    send("Page.enable", Json::object());
    send("Page.setLifecycleEventsEnabled", {{"enabled", true}});
    send("Fetch.enable", {{"patterns", Json::array({{{"urlPattern", "*"},
                                                     {"resourceType", "Document"},
                                                     {"requestStage", "Request"}}})}});
    send("Target.setAutoAttach", kAutoAttach);
    if (isPage) {
        // Bindings report only with the Runtime domain on.
        send("Runtime.enable", Json::object());
        send("Runtime.addBinding", {{"name", kFocusBinding}, {"executionContextName", kWorldName}});
        send("Page.addScriptToEvaluateOnNewDocument",
             {{"source", focusScript()}, {"worldName", kWorldName}, {"runImmediately", true}});
    }
    send("Runtime.runIfWaitingForDebugger", Json::object());
    answered();
}

void TargetTracker::windowOpen(const Json& params, const std::string& sessionId) {
    const std::string opener = pageOf(sessionId);
    if (opener.empty()) return;
    auto request = std::make_shared<OpenRequest>();
    request->url = text(params, "url");
    if (auto f = params.find("windowFeatures"); f != params.end() && f->is_array()) {
        for (const auto& feature : *f) {
            if (feature.is_string()) request->features.push_back(feature.get<std::string>());
        }
    }
    lastOpen_[opener] = request;
    toMain([opener, self = shared_from_this(), request](WindowEvents& e) {
        e.newWindow(opener, [self, request](bool cancel) {
            if (!cancel) return;
            self->connection_->post([t = self.get(), request] {
                request->cancelled = true;
                if (!request->targetId.empty()) t->beginQuit(request->targetId);
            });
        });
    });
}

void TargetTracker::requestPaused(const Json& params, const std::string& sessionId) {
    const std::string requestId = text(params, "requestId");
    const std::string page = pageOf(sessionId);
    auto it = targets_.find(page);
    if (it == targets_.end()) {
        reply(requestId, sessionId, "continue");
        return;
    }
    Target& target = it->second;
    const std::string frameId = text(params, "frameId");
    const Json request = params.value("request", Json::object());
    // The address as navigated to: the request's own leaves the fragment out.
    const std::string url = text(request, "url") + text(request, "urlFragment");
    // A window whose first page is pending shows the address it is opening.
    if (frameId == page && !target.started && target.url != url) {
        target.url = url;
        toMain([page, url](WindowEvents& e) { e.windowUrlChanged(page, url); });
    }
    if (frameId == page) target.started = true;
    if (target.quitting) {
        reply(requestId, sessionId, "fail");
        closeNow(page);
        return;
    }
    paused_[requestId] = {sessionId, page};
    if (frameId != page || target.barsKnown) {
        pauseForEngine(requestId, sessionId, page, frameId, url);
        return;
    }
    // A window whose opening was not seen: its shape is asked before the engine judges it.
    connection_->send(
        "Runtime.evaluate", {{"expression", popUpShapeScript()}, {"returnByValue", true}},
        sessionId,
        [this, requestId, sessionId, page, frameId, url](const CdpReply& r) {
            const Json value =
                r.ok ? r.result.value("result", Json::object()).value("value", Json()) : Json();
            if (value.is_boolean() && targets_.count(page)) {
                targets_[page].barsKnown = true;
                toMain([page, full = !value.get<bool>()](WindowEvents& e) {
                    e.windowBarsReported(page, full, full);
                });
            }
            pauseForEngine(requestId, sessionId, page, frameId, url);
        },
        kWindowQueryTimeout);
}

void TargetTracker::pauseForEngine(const std::string& requestId, const std::string& sessionId,
                                   const std::string& pageId, const std::string& frameId,
                                   const std::string& url) {
    (void)sessionId;
    toMain([self = shared_from_this(), requestId, pageId, frameId, url](WindowEvents& e) {
        e.beforeNavigate(pageId, frameId, url, [self, requestId](bool cancel) {
            self->connection_->post(
                [t = self.get(), requestId, cancel] { t->answer(requestId, cancel); });
        });
    });
}

void TargetTracker::answer(const std::string& requestId, bool cancel) {
    auto it = paused_.find(requestId);
    if (it == paused_.end()) return;  // answered already: its window was closed meanwhile
    const Paused paused = it->second;
    paused_.erase(it);
    auto target = targets_.find(paused.pageId);
    if (target != targets_.end() && target->second.quitting) {
        reply(requestId, paused.sessionId, "fail");
        closeNow(paused.pageId);
        return;
    }
    // A cancel answers with an empty "204 No Content": the browser keeps the old page.
    reply(requestId, paused.sessionId, cancel ? "cancel" : "continue");
}

void TargetTracker::reply(const std::string& requestId, const std::string& sessionId,
                          const char* how) {
    const std::string kind = how;
    if (kind == "cancel") {
        connection_->send(
            "Fetch.fulfillRequest",
            {{"requestId", requestId}, {"responseCode", 204}, {"responseHeaders", Json::array()}},
            sessionId);
    } else if (kind == "fail") {
        connection_->send("Fetch.failRequest",
                          {{"requestId", requestId}, {"errorReason", "BlockedByClient"}},
                          sessionId);
    } else {
        connection_->send("Fetch.continueRequest", {{"requestId", requestId}}, sessionId);
    }
}

void TargetTracker::lifecycle(const Json& params, const std::string& sessionId) {
    if (text(params, "name") != "load") return;
    const std::string page = pageOf(sessionId);
    const std::string frameId = text(params, "frameId");
    if (page.empty() || frameId.empty()) return;
    if (frameId == page) targets_[page].started = true;
    const std::string loaderId = text(params, "loaderId");
    if (replacedDocument(page, frameId, loaderId)) return;
    auto complete = [this, page, frameId,
                     loaderId](std::shared_ptr<const FrameSnapshot> snapshot) {
        // A document replaced while it was read has nothing to report: the one that replaced it
        // completes on its own, and the engine must not take this one's failure for that one's.
        if (replacedDocument(page, frameId, loaderId)) return;
        toMain([page, frameId, snapshot](WindowEvents& e) {
            e.documentComplete(page, frameId, snapshot);
        });
    };
    // The page is read before the engine hears of it, so its scan reads locally.
    connection_->send(
        "Page.createIsolatedWorld", {{"frameId", frameId}, {"worldName", kWorldName}}, sessionId,
        [this, page, frameId, sessionId, complete](const CdpReply& world) {
            const Json context =
                world.ok ? world.result.value("executionContextId", Json()) : Json();
            if (!context.is_number_integer()) {
                complete(nullptr);
                return;
            }
            const int contextId = context.get<int>();
            connection_->send(
                "Runtime.evaluate",
                {{"expression", snapshotScript()},
                 {"contextId", contextId},
                 {"returnByValue", true}},
                sessionId,
                [this, page, frameId, sessionId, contextId, complete](const CdpReply& r) {
                    if (!r.ok || r.result.contains("exceptionDetails")) {
                        complete(nullptr);
                        return;
                    }
                    complete(std::make_shared<FrameSnapshot>(FrameSnapshot{
                        page::parseSnapshot(
                            r.result.value("result", Json::object()).value("value", Json())),
                        sessionId, contextId}));
                },
                kSnapshotTimeout);
        });
}

bool TargetTracker::replacedDocument(const std::string& page, const std::string& frameId,
                                     const std::string& loaderId) const {
    auto target = targets_.find(page);
    if (target == targets_.end() || loaderId.empty()) return false;
    auto loader = target->second.loaders.find(frameId);
    return loader != target->second.loaders.end() && loader->second != loaderId;
}

void TargetTracker::frameNavigated(const Json& params, const std::string& sessionId) {
    const Json frame = params.value("frame", Json::object());
    const std::string page = pageOf(sessionId);
    const std::string frameId = text(frame, "id");
    if (page.empty() || frameId.empty()) return;
    auto& target = targets_[page];
    if (frameId == page) target.started = true;
    target.loaders[frameId] = text(frame, "loaderId");
    toMain([page, frameId, url = text(frame, "url") + text(frame, "urlFragment")](WindowEvents& e) {
        e.frameNavigated(page, frameId, url);
    });
}

void TargetTracker::targetGone(const std::string& targetId) {
    if (!targets_.erase(targetId)) return;
    std::erase(order_, targetId);
    lastOpen_.erase(targetId);
    std::erase_if(paused_, [&](const auto& p) { return p.second.pageId == targetId; });
    std::erase_if(sessions_, [&](const auto& s) { return s.second.pageId == targetId; });
    toMain([targetId](WindowEvents& e) { e.windowGone(targetId); });
}

void TargetTracker::quit(const std::string& targetId) {
    connection_->post([this, targetId] { beginQuit(targetId); });
}

void TargetTracker::beginQuit(const std::string& targetId) {
    auto it = targets_.find(targetId);
    if (it == targets_.end() || it->second.quitting) return;
    Target& target = it->second;
    target.quitting = true;
    bool answered = false;
    for (auto p = paused_.begin(); p != paused_.end();) {
        if (p->second.pageId != targetId) {
            ++p;
            continue;
        }
        reply(p->first, p->second.sessionId, "fail");
        answered = true;
        p = paused_.erase(p);
    }
    if (answered || target.started) {
        closeNow(targetId);
        return;
    }
    // Closing a window that has not asked for its page yet lets the request through: it is
    // closed at its first request instead, or after a grace period if it makes none.
    connection_->postAfter(kStartingWindowGrace, [this, targetId] { closeNow(targetId); });
}

void TargetTracker::closeNow(const std::string& targetId) {
    auto it = targets_.find(targetId);
    if (it == targets_.end() || it->second.closing) return;
    it->second.closing = true;
    connection_->send("Target.closeTarget", {{"targetId", targetId}});
}

void TargetTracker::writePage(const std::string& sessionId, int contextId,
                              const std::vector<page::PageWrite>& writes) {
    connection_->send(
        "Runtime.evaluate",
        {{"expression", writeScript(writes)}, {"contextId", contextId}, {"returnByValue", true}},
        sessionId);
}

void TargetTracker::releaseAll() {
    for (const auto& [requestId, paused] : paused_) {
        auto target = targets_.find(paused.pageId);
        const bool quitting = target != targets_.end() && target->second.quitting;
        reply(requestId, paused.sessionId, quitting ? "fail" : "continue");
    }
    paused_.clear();
    for (const auto& [sessionId, session] : sessions_) {
        connection_->send("Fetch.disable", Json::object(), sessionId);
        connection_->send("Runtime.runIfWaitingForDebugger", Json::object(), sessionId);
    }
    for (const auto& [id, target] : targets_) {
        if (target.quitting) closeNow(id);
    }
}

std::string TargetTracker::pageOf(const std::string& sessionId) const {
    auto it = sessions_.find(sessionId);
    return it == sessions_.end() ? std::string() : it->second.pageId;
}

}  // namespace vantrel::chromium
