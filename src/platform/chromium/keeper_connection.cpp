#include "platform/chromium/keeper_connection.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/browser.h"
#include "platform/chromium/framed_transport.h"
#include "platform/posix/user_socket.h"

extern char** environ;

namespace vantrel::chromium {

namespace {

using Clock = std::chrono::steady_clock;

// Starts the keeper and waits for its word: "ready", or why it cannot serve.
void startKeeper(const LaunchOptions& options, std::chrono::milliseconds timeout) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) throw BrowserError("cannot make a pipe for the keeper");
    posix::UniqueFd readyRead(ready[0]), readyWrite(ready[1]);
    std::vector<std::string> words = {options.keeper, "--socket", keeperSocketName(),
                                      "--ready-fd",   "3",        "--"};
    for (auto& word : launchArguments(options)) words.push_back(std::move(word));
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, readyWrite.get(), 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    readyWrite.reset();
    if (rc != 0) {
        throw BrowserError("cannot start " + options.keeper + ": " + std::strerror(rc));
    }
    // The keeper's first process only starts the one that serves, and ends at once.
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }

    std::string word;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fd{readyRead.get(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&fd, 1, int(left.count())) == 0) {
            throw BrowserError("the browser keeper did not answer in time");
        }
        char buffer[256];
        const ssize_t n = ::read(readyRead.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        word.append(buffer, size_t(n));
    }
    if (word.rfind("ready", 0) != 0) {
        while (!word.empty() && word.back() == '\n') word.pop_back();
        throw BrowserError("the browser keeper cannot serve: " +
                           (word.empty() ? std::string("it ended") : word));
    }
}

posix::UniqueFd connectKeeper() {
    try {
        return posix::connectUserSocket(keeperSocketName());
    } catch (const posix::UserSocketError& e) {
        throw BrowserError(e.what());
    }
}

}  // namespace

std::string installedKeeper() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("vantrel-keeper") : (self.parent_path() / "vantrel-keeper").string();
}

std::string keeperSocketName() {
    return posix::nameForThisDisplay("browser");
}

std::unique_ptr<CdpTransport> connectThroughKeeper(const LaunchOptions& options,
                                                   std::chrono::milliseconds timeout) {
    posix::UniqueFd socket = connectKeeper();
    if (!socket) {
        startKeeper(options, timeout);
        socket = connectKeeper();
        if (!socket) throw BrowserError("the browser keeper does not answer");
    }
    posix::UniqueFd sending(::fcntl(socket.get(), F_DUPFD_CLOEXEC, 0));
    if (!sending) throw BrowserError("no descriptor left");
    return std::make_unique<FramedTransport>(std::move(socket), std::move(sending));
}

}  // namespace vantrel::chromium
