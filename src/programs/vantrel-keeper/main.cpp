// vantrel-keeper: starts the browser with its DevTools pipe and holds that pipe for the
// browser's whole life, serving one Vantrel at a time on a socket only this user can open, so
// that the browser and Vantrel outlive each other. Vantrel starts it; it is not run by hand.
//
//   vantrel-keeper --socket NAME --ready-fd FD -- BROWSER COMMAND LINE...
//
// It leaves the process that started it at once (that process only waits for its first
// child's exit), in a session of its own. Once it serves, it writes "ready" and closes FD; when
// it cannot serve, the reason instead. Another keeper already serving NAME counts as ready.

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "programs/vantrel-keeper/keeper.h"

namespace {

void tell(int fd, const std::string& text) {
    if (fd >= 0) (void)!::write(fd, text.data(), text.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::string socketName;
    int readyFd = -1;
    std::vector<std::string> browser;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--socket" && i + 1 < argc) {
            socketName = argv[++i];
        } else if (word == "--ready-fd" && i + 1 < argc) {
            readyFd = std::atoi(argv[++i]);
        } else if (word == "--") {
            browser.assign(argv + i + 1, argv + argc);
            break;
        } else {
            std::cerr << "vantrel-keeper: unexpected argument " << word << '\n';
            return 2;
        }
    }
    if (socketName.empty() || browser.empty()) {
        std::cerr << "usage: vantrel-keeper --socket NAME [--ready-fd FD] -- BROWSER...\n";
        return 2;
    }
    if (readyFd >= 0) ::fcntl(readyFd, F_SETFD, FD_CLOEXEC);

    const pid_t child = ::fork();
    if (child < 0) {
        tell(readyFd, std::string("cannot fork: ") + std::strerror(errno));
        return 1;
    }
    if (child > 0) ::_exit(0);
    ::setsid();
    (void)!::chdir("/");

    try {
        auto listener = vantrel::posix::UserSocketListener::listen(socketName);
        if (!listener) {
            tell(readyFd, "ready\n");
            return 0;
        }
        vantrel::keeper::Keeper keeper(std::move(*listener), std::move(browser));
        keeper.start();
        tell(readyFd, "ready\n");
        if (readyFd >= 0) ::close(readyFd);
        keeper.run();
        return 0;
    } catch (const std::exception& e) {
        tell(readyFd, std::string(e.what()) + "\n");
        return 1;
    }
}
