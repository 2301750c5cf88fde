#include "platform/chromium/chromium_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "platform/browser.h"

extern char** environ;

namespace vantrel::chromium {

namespace {

// Replies beyond this are dropped (the command then times out): Chromium sends up to a few
// hundred MiB if asked, which the program never needs.
constexpr size_t kMaxMessage = 64u << 20;

// Writes to a pipe whose reader may have gone (a browser that exited or never started) without
// raising SIGPIPE: the signal is held back for this thread while writing, and one raised by
// this write is taken off again, so the caller sees EPIPE and the process keeps its handlers.
ssize_t writeWithoutSigpipe(int fd, const char* data, size_t size) {
    sigset_t pipeOnly, previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    const bool alreadyPending = sigismember(&pendingBefore, SIGPIPE) == 1;
    const ssize_t n = ::write(fd, data, size);
    const int writeError = errno;
    if (n < 0 && writeError == EPIPE && !alreadyPending) {
        const timespec noWait{0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &noWait) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = writeError;
    return n;
}

// A pipe whose ends sit above the descriptors the child is given (3 and 4), close-on-exec.
void makePipe(int& readEnd, int& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw BrowserError(std::string("pipe: ") + strerror(errno));
    readEnd = ::fcntl(fds[0], F_DUPFD_CLOEXEC, 10);
    writeEnd = ::fcntl(fds[1], F_DUPFD_CLOEXEC, 10);
    ::close(fds[0]);
    ::close(fds[1]);
    if (readEnd < 0 || writeEnd < 0) throw BrowserError("pipe: no descriptor");
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

std::vector<std::string> launchArguments(const LaunchOptions& options) {
    std::vector<std::string> args;
    std::istringstream words(options.command);
    for (std::string word; words >> word;) args.push_back(word);
    if (args.empty()) args.push_back("chromium");
    args.insert(args.end(),
                {"--remote-debugging-pipe", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 // Keeps the browser running when the user closes its last window,
                 // so a start from the desktop menu opens a window Vantrel sees.
                 "--keep-alive-for-test"});
    // The sandbox refuses to run as root.
    if (::geteuid() == 0) args.push_back("--no-sandbox");
    if (!options.userDataDir.empty()) args.push_back("--user-data-dir=" + options.userDataDir);
    if (options.headless) args.push_back("--headless=new");
    args.insert(args.end(), options.extraArguments.begin(), options.extraArguments.end());
    return args;
}

ChromiumProcess::ChromiumProcess(const LaunchOptions& options)
    : terminateOnClose_(options.terminateOnClose) {
    int childIn = -1, childOut = -1;
    makePipe(childIn, toBrowser_);
    makePipe(fromBrowser_, childOut);
    makePipe(wakeRead_, wakeWrite_);

    const auto args = launchArguments(options);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childIn, 3);
    posix_spawn_file_actions_adddup2(&actions, childOut, 4);
    // The browser's own chatter would mix with the program's output.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group: a terminal's CTRL+C does not reach it, and tests end it whole.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    const int rc = ::posix_spawnp(&pid_, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(childIn);
    ::close(childOut);
    if (rc != 0) {
        pid_ = -1;
        closeFd(toBrowser_);
        closeFd(fromBrowser_);
        closeFd(wakeRead_);
        closeFd(wakeWrite_);
        throw BrowserError("cannot start " + args[0] + ": " + strerror(rc));
    }
}

ChromiumProcess::~ChromiumProcess() {
    close();
    if (terminateOnClose_) kill();
    reap();
    closeFd(fromBrowser_);
    closeFd(wakeRead_);
    closeFd(wakeWrite_);
}

std::optional<std::string> ChromiumProcess::read() {
    bool skipping = false;
    char buffer[65536];
    for (;;) {
        const auto end = pending_.find('\0');
        if (end != std::string::npos) {
            std::string message = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!skipping) return message;
            skipping = false;
            continue;
        }
        if (pending_.size() > kMaxMessage) {
            pending_.clear();
            skipping = true;
        }
        pollfd fds[2] = {{fromBrowser_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (fds[1].revents != 0) return std::nullopt;
        const ssize_t n = ::read(fromBrowser_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        pending_.append(buffer, size_t(n));
    }
}

bool ChromiumProcess::send(const std::string& message) {
    if (toBrowser_ < 0) return false;
    std::string framed = message;
    framed.push_back('\0');
    size_t done = 0;
    while (done < framed.size()) {
        const ssize_t n =
            writeWithoutSigpipe(toBrowser_, framed.data() + done, framed.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

void ChromiumProcess::close() {
    // Closing our end of the command pipe tells the browser the client is gone.
    closeFd(toBrowser_);
    if (wakeWrite_ >= 0) {
        const char byte = 0;
        [[maybe_unused]] const auto n = ::write(wakeWrite_, &byte, 1);
    }
}

void ChromiumProcess::kill() {
    if (pid_ > 0) ::kill(-pid_, SIGKILL);
}

void ChromiumProcess::reap() {
    if (pid_ <= 0) return;
    // The browser leaves on its own once the pipe closes; a user's browser may keep running,
    // and is then reaped by nobody but init, which is fine for a process we do not own.
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + (terminateOnClose_ ? seconds(5) : seconds(0));
    for (;;) {
        const pid_t r = ::waitpid(pid_, nullptr, WNOHANG);
        if (r == pid_ || r < 0) break;
        if (steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(milliseconds(10));
    }
    pid_ = -1;
}

}  // namespace vantrel::chromium
