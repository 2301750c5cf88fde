#include "x11_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool windowManagerRunning(xcb_connection_t* c, xcb_window_t root) {
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c,
                               xcb_get_property(c, 0, root, atom(c, "_NET_SUPPORTING_WM_CHECK"),
                                                XCB_ATOM_WINDOW, 0, 1),
                               nullptr),
        &std::free);
    return reply && xcb_get_property_value_length(reply.get()) > 0;
}

bool trayHostRunning(xcb_connection_t* c) {
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom(c, "_NET_SYSTEM_TRAY_S0")),
                                      nullptr),
        &std::free);
    return reply && reply->owner != XCB_NONE;
}

}  // namespace

pid_t X11Session::spawn(const std::vector<std::string>& argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return 0;
    children_.push_back(pid);
    return pid;
}

bool X11Session::start(std::string& error) {
    int fds[2];
    if (pipe(fds) != 0) {
        error = "pipe failed";
        return false;
    }
    const pid_t server = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                "1024x768x24", "-nolisten", "tcp", "-br"});  // fd inherited
    close(fds[1]);
    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (server != 0 && number.find('\n') == std::string::npos && Clock::now() < deadline) {
        if (poll(&readable, 1, 200) <= 0) continue;
        char buffer[16];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        error = "Xvfb did not start";
        return false;
    }
    display_ = ":" + number.substr(0, number.find('\n'));
    setenv("DISPLAY", display_.c_str(), 1);

    xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
    if (xcb_connection_has_error(c) != 0) {
        xcb_disconnect(c);
        error = "cannot connect to " + display_;
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    spawn({"openbox", "--sm-disable"});
    const bool wm =
        waitFor([&] { return windowManagerRunning(c, root); }, std::chrono::seconds(15));
    spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height",
           "24", "--SetDockType", "true"});
    const bool tray = wm && waitFor([&] { return trayHostRunning(c); }, std::chrono::seconds(15));
    xcb_disconnect(c);
    if (!wm) error = "openbox did not start";
    if (wm && !tray) error = "trayer did not start";
    return wm && tray;
}

X11Session::~X11Session() {
    // The window manager and the tray host first, the server last.
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        kill(*it, SIGTERM);
        int status = 0;
        const pid_t pid = *it;
        if (!waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; },
                     std::chrono::seconds(5))) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
    }
}
