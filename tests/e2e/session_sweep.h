#pragma once

// Ends what a test started in sessions of their own (the browser keeper and its browser), found
// by a text on their command lines (the test's own profile folder), whole sessions at a time.

#include <dirent.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace chromium_test {

struct ProcessInfo {
    char state = 0;
    pid_t session = -1;
    std::string commandLine;  // arguments separated by spaces
};

inline bool readProcess(pid_t pid, ProcessInfo& info) {
    const std::string base = "/proc/" + std::to_string(pid);
    std::ifstream statFile(base + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(stat.substr(close + 1));
    pid_t parent, group;
    fields >> info.state >> parent >> group >> info.session;
    std::ifstream cmdFile(base + "/cmdline");
    info.commandLine.assign((std::istreambuf_iterator<char>(cmdFile)), {});
    for (char& c : info.commandLine) {
        if (c == '\0') c = ' ';
    }
    return bool(fields);
}

template <typename F>
void eachProcess(F&& f) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return;
    while (dirent* entry = ::readdir(proc)) {
        const pid_t pid = std::atoi(entry->d_name);
        ProcessInfo info;
        if (pid > 0 && readProcess(pid, info) && info.state != 'Z') f(pid, info);
    }
    ::closedir(proc);
}

// The live processes whose command line holds `text`.
inline std::set<pid_t> processesNaming(const std::string& text) {
    std::set<pid_t> found;
    eachProcess([&](pid_t pid, const ProcessInfo& info) {
        if (info.commandLine.find(text) != std::string::npos) found.insert(pid);
    });
    return found;
}

// Kills every session with a process naming `text` (never this process's own session), and
// waits up to ten seconds until none of them is left.
inline bool endSessionsNaming(const std::string& text) {
    const pid_t own = ::getsid(0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        std::set<pid_t> sessions;
        eachProcess([&](pid_t, const ProcessInfo& info) {
            if (info.commandLine.find(text) != std::string::npos && info.session != own) {
                sessions.insert(info.session);
            }
        });
        bool any = false;
        eachProcess([&](pid_t pid, const ProcessInfo& info) {
            if (sessions.count(info.session) != 0) {
                ::kill(pid, SIGKILL);
                any = true;
            }
        });
        if (!any) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// Ends those sessions when it goes out of scope, also after a failed assertion.
class SessionSweep {
  public:
    explicit SessionSweep(std::string text) : text_(std::move(text)) {}
    ~SessionSweep() { endSessionsNaming(text_); }
    SessionSweep(const SessionSweep&) = delete;
    SessionSweep& operator=(const SessionSweep&) = delete;

  private:
    std::string text_;
};

}  // namespace chromium_test
