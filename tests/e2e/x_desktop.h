#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace chromium_test {

// A private X display (Xvfb) with a window manager (openbox), for tests that need a real
// foreground window. Sets DISPLAY for this process and the browsers it starts; ends both.
class XDesktop {
  public:
    XDesktop() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        xvfb_ =
            spawn({"Xvfb", "-displayfd", fd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        ::close(fds[1]);
        char buffer[16] = {};
        // Xvfb writes the display number once it accepts clients.
        pollOne(fds[0]);
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer - 1);
        ::close(fds[0]);
        if (n <= 0) return;
        display_ = ":" + std::to_string(std::atoi(buffer));
        ::setenv("DISPLAY", display_.c_str(), 1);
        openbox_ = spawn({"openbox"});
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    ~XDesktop() {
        for (pid_t pid : {openbox_, xvfb_}) {
            if (pid <= 0) continue;
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        ::unsetenv("DISPLAY");
    }
    bool ready() const { return !display_.empty(); }

    // Starts a command with standard error to /dev/null; its process, or -1.
    static pid_t spawn(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    // Runs a command to its end (bounded by the command itself), returns its status.
    static int run(std::initializer_list<std::string> words) {
        const pid_t pid = spawn(words);
        int status = -1;
        if (pid > 0) ::waitpid(pid, &status, 0);
        return status;
    }

  private:
    static void pollOne(int fd) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 10000);
    }

    pid_t xvfb_ = -1;
    pid_t openbox_ = -1;
    std::string display_;
};

}  // namespace chromium_test
