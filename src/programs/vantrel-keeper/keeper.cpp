#include "programs/vantrel-keeper/keeper.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/browser.h"
#include "platform/chromium/chromium_process.h"

namespace vantrel::keeper {

namespace {

using namespace std::chrono_literals;

// A browser that ends sooner than this after its start has not really run.
constexpr auto kQuickEnd = 10s;
constexpr int kQuickEndsToGiveUp = 3;
// A client that reads nothing while this much waits for it is dropped.
constexpr size_t kMaxOutgoing = 256u << 20;
// How long a browser that closed its pipe may take to exit before the rest of it is killed.
constexpr auto kExitWait = 10s;

int signalWrite = -1;

extern "C" void onSignal(int signal) {
    const char number = char(signal);
    const int saved = errno;
    (void)!::write(signalWrite, &number, 1);
    errno = saved;
}

posix::UniqueFd signalPipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw BrowserError("cannot make a pipe");
    signalWrite = fds[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    ::sigemptyset(&action.sa_mask);
    for (int signal : {SIGCHLD, SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    return posix::UniqueFd(fds[0]);
}

void setNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

}  // namespace

Keeper::Keeper(posix::UserSocketListener listener, std::vector<std::string> browserArguments)
    : listener_(std::move(listener)),
      arguments_(std::move(browserArguments)),
      signalRead_(signalPipe()) {}

Keeper::~Keeper() {
    // Closing the pipe ends the browser, as at the end of the session.
    browser_ = {};
    if (browserPid_ > 0) reapBrowser();
}

void Keeper::start() {
    startBrowser(true);
}

void Keeper::startBrowser(bool withWindow) {
    auto arguments = arguments_;
    if (!withWindow) arguments.push_back("--no-startup-window");
    chromium::PipedBrowser browser = chromium::startPipedBrowser(arguments);
    setNonBlocking(browser.toBrowser.get());
    setNonBlocking(browser.fromBrowser.get());
    browser_ = {};
    browser_.in = std::move(browser.fromBrowser);
    browser_.out = std::move(browser.toBrowser);
    browserPid_ = browser.pid;
    browserStart_ = std::chrono::steady_clock::now();
    relay_.browserStarted();
}

void Keeper::run() {
    for (;;) {
        std::vector<pollfd> fds = {
            {signalRead_.get(), POLLIN, 0},
            {listener_.fd(), POLLIN, 0},
            {browser_.in.get(), POLLIN, 0},
            {browser_.out.get(), short(browser_.outgoing.empty() ? 0 : POLLOUT), 0},
            {client_.in.get(), short(POLLIN | (client_.outgoing.empty() ? 0 : POLLOUT)), 0},
        };
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents && !handleSignals()) return;
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            readFrom(browser_);
            passFromBrowser();
        }
        if (fds[3].revents && !writeTo(browser_)) browser_.ended = true;
        if (browser_.ended && !browserEnded()) return;
        if (client_.in && fds[4].revents) {
            if (fds[4].revents & (POLLIN | POLLHUP | POLLERR)) readFrom(client_);
            passFromClient();
            if ((fds[4].revents & POLLOUT) && !writeTo(client_)) client_.ended = true;
        }
        if (client_.in && client_.ended) dropClient();
        if (fds[1].revents) takeConnections();
    }
}

bool Keeper::handleSignals() {
    char signals[64];
    const ssize_t n = ::read(signalRead_.get(), signals, sizeof signals);
    for (ssize_t i = 0; i < n; ++i) {
        if (signals[i] == SIGCHLD) {
            if (browserPid_ > 0 && ::waitpid(browserPid_, nullptr, WNOHANG) == browserPid_) {
                browserPid_ = -1;
                browser_.ended = true;
            }
        } else {
            return false;
        }
    }
    return true;
}

void Keeper::takeConnections() {
    for (posix::UniqueFd connection; (connection = listener_.accept());) {
        // One client at a time: a second is closed at once, and so learns that it cannot be.
        if (client_.in) continue;
        client_ = {};
        client_.in = std::move(connection);
        relay_.clientCame();
    }
}

void Keeper::readFrom(Peer& peer) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(peer.in.get(), buffer, sizeof buffer);
        if (n > 0) {
            peer.frames.append(buffer, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno != EAGAIN) peer.ended = true;
        return;
    }
}

bool Keeper::writeTo(Peer& peer) {
    while (!peer.outgoing.empty()) {
        const ssize_t n = ::write(peer.outFd(), peer.outgoing.data(), peer.outgoing.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        if (n <= 0) return false;
        peer.outgoing.erase(0, size_t(n));
    }
    return true;
}

void Keeper::passFromBrowser() {
    std::vector<std::string> toBrowser;
    while (auto message = browser_.frames.next()) {
        auto forClient = relay_.fromBrowser(*message, toBrowser);
        if (forClient && client_.in)
            client_.outgoing += chromium::MessageFrames::framed(*forClient);
    }
    for (const auto& command : toBrowser) {
        browser_.outgoing += chromium::MessageFrames::framed(command);
    }
    if (!writeTo(browser_)) browser_.ended = true;
    if (client_.in) {
        if (!writeTo(client_) || client_.outgoing.size() > kMaxOutgoing) client_.ended = true;
    }
}

void Keeper::passFromClient() {
    while (auto message = client_.frames.next()) {
        browser_.outgoing += chromium::MessageFrames::framed(relay_.fromClient(*message));
    }
    if (!writeTo(browser_)) browser_.ended = true;
}

void Keeper::dropClient() {
    client_ = {};
    for (const auto& command : relay_.clientGone()) {
        browser_.outgoing += chromium::MessageFrames::framed(command);
    }
    if (!writeTo(browser_)) browser_.ended = true;
}

bool Keeper::browserEnded() {
    browser_ = {};
    if (browserPid_ > 0) reapBrowser();
    const bool hadClient = bool(client_.in);
    // The client learns of the end by its connection's end, and connects again as at its start.
    client_ = {};
    relay_.clientGone();
    const bool quick = std::chrono::steady_clock::now() - browserStart_ < kQuickEnd;
    quickEnds_ = quick ? quickEnds_ + 1 : 0;
    if (!hadClient || quickEnds_ >= kQuickEndsToGiveUp) return false;
    try {
        startBrowser(false);
    } catch (const BrowserError&) {
        return false;
    }
    return true;
}

void Keeper::reapBrowser() {
    // A browser closes its pipe as it exits; one that does not leave in time is ended whole.
    const auto deadline = std::chrono::steady_clock::now() + kExitWait;
    while (::waitpid(browserPid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(-browserPid_, SIGKILL);
            ::waitpid(browserPid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    browserPid_ = -1;
}

}  // namespace vantrel::keeper
