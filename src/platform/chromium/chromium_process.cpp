#include "platform/chromium/chromium_process.h"

#include <fcntl.h>
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

// A pipe whose ends sit above the descriptors the child is given (3 and 4), close-on-exec.
void makePipe(posix::UniqueFd& readEnd, posix::UniqueFd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw BrowserError(std::string("pipe: ") + strerror(errno));
    readEnd.reset(::fcntl(fds[0], F_DUPFD_CLOEXEC, 10));
    writeEnd.reset(::fcntl(fds[1], F_DUPFD_CLOEXEC, 10));
    ::close(fds[0]);
    ::close(fds[1]);
    if (!readEnd || !writeEnd) throw BrowserError("pipe: no descriptor");
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

PipedBrowser startPipedBrowser(const std::vector<std::string>& args) {
    PipedBrowser browser;
    posix::UniqueFd childIn, childOut;
    makePipe(childIn, browser.toBrowser);
    makePipe(browser.fromBrowser, childOut);

    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childIn.get(), 3);
    posix_spawn_file_actions_adddup2(&actions, childOut.get(), 4);
    // The browser's own chatter would mix with the program's output.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group: a terminal's CTRL+C does not reach it, and tests end it whole.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    const int rc = ::posix_spawnp(&browser.pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) throw BrowserError("cannot start " + args[0] + ": " + strerror(rc));
    return browser;
}

ChromiumProcess::ChromiumProcess(const LaunchOptions& options)
    : ChromiumProcess(startPipedBrowser(launchArguments(options)), options.terminateOnClose) {}

ChromiumProcess::ChromiumProcess(PipedBrowser browser, bool terminateOnClose)
    : FramedTransport(std::move(browser.fromBrowser), std::move(browser.toBrowser)),
      pid_(browser.pid),
      terminateOnClose_(terminateOnClose) {}

ChromiumProcess::~ChromiumProcess() {
    close();
    if (terminateOnClose_) kill();
    reap();
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
