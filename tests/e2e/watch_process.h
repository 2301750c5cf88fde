#pragma once

// `vantrelctl watch` as a child process of a test, with its standard output and error read
// without blocking, and every wait bounded.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace chromium_test {

class WatchProcess {
  public:
    using Millis = std::chrono::milliseconds;

    explicit WatchProcess(const std::vector<std::string>& args) {
        int outPipe[2], errPipe[2];
        if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return;
        std::vector<std::string> words{VANTRELCTL_PATH, "watch"};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(outPipe[1], 1);
            ::dup2(errPipe[1], 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        out_ = outPipe[0];
        err_ = errPipe[0];
    }
    ~WatchProcess() {
        if (pid_ > 0 && status_ == kRunning) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {out_, err_}) {
            if (fd >= 0) ::close(fd);
        }
    }
    WatchProcess(const WatchProcess&) = delete;
    WatchProcess& operator=(const WatchProcess&) = delete;

    // Reads until `done` holds or `limit` passes; says whether it holds.
    bool waitFor(const std::function<bool()>& done, Millis limit = Millis(15000)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            const auto left =
                std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            readSome(int(std::min<long>(left.count(), 50)));
        }
        return true;
    }
    bool waitForError(const std::string& text, Millis limit = Millis(15000)) {
        return waitFor([&] { return err.find(text) != std::string::npos; }, limit);
    }
    bool waitForRows(size_t count, Millis limit = Millis(15000)) {
        return waitFor([&] { return rows().size() >= count; }, limit);
    }
    // Reads what is there for `span` (to see that nothing more comes).
    void drain(Millis span) {
        waitFor([] { return false; }, span);
    }

    // The complete lines of standard output so far.
    std::vector<std::string> rows() const {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
            lines.push_back(out.substr(start, end - start));
        }
        return lines;
    }

    bool running() {
        if (status_ != kRunning) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : kKilled;
        return false;
    }
    // Waits (bounded) for the end; the exit status, or -1 when it did not exit normally in time.
    int wait(Millis limit = Millis(15000)) {
        waitFor([&] { return !running(); }, limit);
        readSome(0);
        return status_ >= 0 ? status_ : -1;
    }
    int stop(int signal = SIGTERM) {
        if (running()) ::kill(pid_, signal);
        return wait();
    }

    pid_t pid() const { return pid_; }

    std::string out;
    std::string err;

  private:
    static constexpr int kRunning = -2;
    static constexpr int kKilled = -1;

    void readSome(int timeoutMillis) {
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        if (::poll(fds, 2, timeoutMillis) <= 0) return;
        char buffer[4096];
        for (auto [fd, text] : {std::pair{out_, &out}, std::pair{err_, &err}}) {
            pollfd one{fd, POLLIN, 0};
            if (::poll(&one, 1, 0) <= 0 || !(one.revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) text->append(buffer, size_t(n));
        }
        // Both ends closed: nothing more will come, do not spin.
        if ((fds[0].revents & POLLHUP) && (fds[1].revents & POLLHUP) &&
            !(fds[0].revents & POLLIN) && !(fds[1].revents & POLLIN)) {
            ::usleep(unsigned(timeoutMillis) * 1000);
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = kRunning;
};

}  // namespace chromium_test
