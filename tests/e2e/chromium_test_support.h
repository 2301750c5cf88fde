#pragma once

// Shared by the Chromium adapter tests: a loopback HTTP server that records what was asked of
// it, a headless (or Xvfb) browser with a fresh profile, a test engine sink, and bounded waits.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/chromium/chromium_shell.h"
#include "platform/posix/std_event_loop.h"
#include "tests/adapters/temp_dir.h"

namespace chromium_test {

using vantrel::chromium::Json;

// Serves fixed pages on 127.0.0.1 and records "host path" of every request.
class HttpServer {
  public:
    HttpServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 64);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~HttpServer() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        thread_.join();
    }

    int port() const { return port_; }
    // http://HOST:PORT/PATH; hosts ending in ".test" all lead here.
    std::string url(const std::string& host, const std::string& path) const {
        return "http://" + host + ":" + std::to_string(port_) + path;
    }
    void page(const std::string& path, std::string body, std::string type = "text/html") {
        std::lock_guard lock(mutex_);
        pages_[path] = {std::move(type), std::move(body)};
    }
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    bool requested(const std::string& path) const {
        for (const auto& r : requests()) {
            if (r.find(' ' + path) != std::string::npos) return true;
        }
        return false;
    }

  private:
    void serve() {
        while (!stop_) {
            const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::thread([this, client] { answer(client); }).detach();
        }
    }
    void answer(int client) {
        timeval tv{2, 0};
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        for (;;) {
            std::string head;
            char c;
            while (head.find("\r\n\r\n") == std::string::npos && ::read(client, &c, 1) == 1) {
                head += c;
            }
            if (head.find("\r\n\r\n") == std::string::npos) break;
            const auto sp1 = head.find(' '), sp2 = head.find(' ', sp1 + 1);
            const std::string path = head.substr(sp1 + 1, sp2 - sp1 - 1);
            std::string host;
            if (auto h = head.find("Host: "); h != std::string::npos) {
                host = head.substr(h + 6, head.find("\r\n", h) - h - 6);
                host = host.substr(0, host.find(':'));
            }
            std::pair<std::string, std::string> found{"text/plain", "not found"};
            bool ok = false;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(host + " " + path);
                auto it = pages_.find(path.substr(0, path.find('?')));
                if (it != pages_.end()) {
                    found = it->second;
                    ok = true;
                }
            }
            const std::string response =
                std::string(ok ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                "\r\nContent-Type: " + found.first +
                "\r\nCache-Control: no-store\r\nContent-Length: " +
                std::to_string(found.second.size()) + "\r\n\r\n" + found.second;
            if (::send(client, response.data(), response.size(), MSG_NOSIGNAL) < 0) break;
        }
        ::close(client);
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<std::string, std::pair<std::string, std::string>> pages_;
    std::vector<std::string> requests_;
};

// Options for a browser of the tests' own: fresh profile, every *.test host on loopback.
inline vantrel::chromium::ChromiumOptions browserOptions(const TempDir& profile, bool headless,
                                                         const std::string& programFolder = {}) {
    vantrel::chromium::ChromiumOptions options;
    options.launch.userDataDir = profile.path() + "profile";
    options.launch.headless = headless;
    options.launch.terminateOnClose = true;
    options.launch.extraArguments = {"--host-resolver-rules=MAP *.test 127.0.0.1",
                                     "--window-size=1000,800", "about:blank"};
    options.programFolder = programFolder;
    return options;
}

// Runs the loop until `done` holds or `limit` passes; says whether it holds.
inline bool runUntil(vantrel::posix::StdEventLoop& loop, const std::function<bool()>& done,
                     std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = loop.now() + limit.count();
    std::function<void()> check = [&] {
        if (done() || loop.now() >= deadline) {
            loop.quit();
            return;
        }
        loop.scheduleAt(loop.now() + 5, check);
    };
    loop.post(check);
    loop.run();
    return done();
}

// Lets posted work run for a while (to see that something does NOT happen).
inline void runFor(vantrel::posix::StdEventLoop& loop, std::chrono::milliseconds span) {
    runUntil(
        loop, [] { return false; }, span);
}

// A test's own session on a page, for clicks and checks the engine never makes.
class PageDriver {
  public:
    PageDriver(vantrel::chromium::CdpConnection& connection, const std::string& urlPart)
        : connection_(connection) {
        const Json targets = connection_.call("Target.getTargets");
        for (const auto& t : targets.value("targetInfos", Json::array())) {
            if (t.value("type", "") == "page" &&
                t.value("url", "").find(urlPart) != std::string::npos) {
                targetId_ = t.value("targetId", "");
            }
        }
        if (targetId_.empty()) throw vantrel::BrowserError("no page at " + urlPart);
        sessionId_ =
            connection_.call("Target.attachToTarget", {{"targetId", targetId_}, {"flatten", true}})
                .value("sessionId", "");
    }
    // The value of `expression`, or of the promise it gives once that settles.
    Json evaluate(const std::string& expression,
                  vantrel::chromium::CdpConnection::Millis timeout =
                      vantrel::chromium::CdpConnection::kDefaultTimeout) {
        const Json r = connection_.call(
            "Runtime.evaluate",
            {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}},
            sessionId_, timeout);
        return r.value("result", Json::object()).value("value", Json());
    }
    // A real press and release at the centre of the element. Chromium drops input to a page it
    // has not painted since it loaded, which under load can outlast the load: on a page on
    // screen, the press waits for two animation frames, and with them a painted one (a page
    // hidden or covered has no frames, and is pressed at once).
    void click(const std::string& selector) {
        const Json box = evaluate(
            "new Promise((painted, missing) => { const centre = () => {"
            "  const e = document.querySelector('" + selector + "');"
            "  if (!e) return missing(new Error('no element'));"
            "  const r = e.getBoundingClientRect();"
            "  painted([r.x + r.width / 2, r.y + r.height / 2]); };"
            "  if (document.visibilityState !== 'visible') return centre();"
            "  requestAnimationFrame(() => requestAnimationFrame(centre)); })",
            std::chrono::seconds(15));
        for (const char* type : {"mousePressed", "mouseReleased"}) {
            connection_.send("Input.dispatchMouseEvent",
                             {{"type", type},
                              {"x", box[0]},
                              {"y", box[1]},
                              {"button", "left"},
                              {"clickCount", 1}},
                             sessionId_);
        }
    }
    const std::string& targetId() const { return targetId_; }
    const std::string& sessionId() const { return sessionId_; }

  private:
    vantrel::chromium::CdpConnection& connection_;
    std::string targetId_;
    std::string sessionId_;
};

}  // namespace chromium_test
