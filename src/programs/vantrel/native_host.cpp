#include "programs/vantrel/native_host.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <nlohmann/json.hpp>

#include "platform/extension/watch_server.h"
#include "platform/posix/user_socket.h"
#include "platform/qt/single_instance.h"
#include "platform/webext/native_messaging.h"

extern char** environ;

namespace vantrel {

namespace {

using namespace std::chrono_literals;

// The browser has written the message before it starts the host.
constexpr auto kReadTimeout = 500ms;

enum class Request { Button, Watch, Other };

Request requestOf(const std::string& text) {
    const auto message = nlohmann::json::parse(text, nullptr, false);
    if (!message.is_object()) return Request::Other;
    if (message.value("command", "") == "button") return Request::Button;
    if (message.value("type", "") == "watch") return Request::Watch;
    return Request::Other;
}

// Relays the extension's messages to the running copy and its answers back, until either side
// ends. The copy first hears which browser this is (the host's parent) and for whom it was
// started, then the extension's own first message.
int relayToRunningCopy(const std::string& watch, const std::string& caller) {
    posix::UniqueFd copy;
    try {
        copy = posix::connectUserSocket(extension::watchSocketName());
    } catch (const posix::UserSocketError&) {
    }
    if (!copy) return 1;  // no copy runs: the extension tries again later
    const int flags = ::fcntl(copy.get(), F_GETFL);
    ::fcntl(copy.get(), F_SETFL, flags & ~O_NONBLOCK);
    const nlohmann::json host = {{"type", "host"}, {"browserPid", ::getppid()}, {"caller", caller}};
    const std::string first =
        webext::frameNativeMessage(host.dump()) + webext::frameNativeMessage(watch);
    if (::send(copy.get(), first.data(), first.size(), MSG_NOSIGNAL) != ssize_t(first.size())) {
        return 1;
    }
    webext::relayBothWays(STDIN_FILENO, STDOUT_FILENO, copy.get());
    return 0;
}

// Starts `executable` without arguments in a session of its own, with no tie to the browser's
// pipes: the browser ends the host after its answer, and the new copy must outlive that.
bool startDetached(const std::string& executable) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    // Not the browser's standard error either: a write to that pipe once the browser has gone
    // would end the copy with SIGPIPE.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The signals the host ignores are the new copy's to handle.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF);
    char* argv[] = {const_cast<char*>(executable.c_str()), nullptr};
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return rc == 0;
}

}  // namespace

int runNativeHost(int argc, char** argv, const std::string& executable) {
    // A browser that has gone away must not end the host in the middle of its answer.
    ::signal(SIGPIPE, SIG_IGN);
    const auto message =
        webext::readNativeMessage(STDIN_FILENO, webext::kMaxMessageFromHost, kReadTimeout);
    if (message.result != webext::ReadResult::Message) return 1;
    const Request request = requestOf(message.text);
    if (request == Request::Watch) return relayToRunningCopy(message.text, argc > 1 ? argv[1] : "");
    if (request != Request::Button) return 1;

    // The answer comes first: the browser waits for nothing the running copy does. A busy copy
    // may take longer than that to take the hand-over; it is never doubled by a new start.
    webext::writeNativeMessage(STDOUT_FILENO, R"({"result":"received"})");
    ::close(STDOUT_FILENO);
    // Ending the host after the answer must not cut the hand-over short.
    ::signal(SIGTERM, SIG_IGN);

    // No GUI: the host never shows a window of its own.
    QCoreApplication application(argc, argv);
    const qt::SingleInstance instance(qt::SingleInstance::nameForThisSession());
    if (instance.handOverToRunningCopy() != qt::SingleInstance::HandOver::NoCopy) return 0;
    return startDetached(executable) ? 0 : 1;
}

}  // namespace vantrel
