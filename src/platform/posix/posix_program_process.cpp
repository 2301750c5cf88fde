#include "platform/posix/posix_program_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/error.h"

namespace vantrel::posix {

std::string PosixProgramProcess::executablePath() {
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || size_t(length) >= buffer.size()) {
        throw Error("Cannot find the program's own file: " + std::string(std::strerror(errno)));
    }
    return std::string(buffer.data(), size_t(length));
}

long PosixProgramProcess::processId() {
    return long(::getpid());
}

// Forks twice so that the script is nobody's child here (no zombie, no wait) and runs in a
// session of its own; it gets none of the program's open files, which could keep sockets alive.
void PosixProgramProcess::startShellScript(const std::string& path) {
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    const char* argv[] = {"/bin/sh", path.c_str(), nullptr};
    const long maxFiles = ::sysconf(_SC_OPEN_MAX);

    // Between fork and exec only async-signal-safe calls are made.
    const pid_t child = ::fork();
    if (child < 0) throw Error("Cannot start " + path + ": " + std::strerror(errno));
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
        const int null = ::open("/dev/null", O_RDWR);
        if (null < 0) ::_exit(127);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::close_range(3, ~0U, 0) != 0) {
            for (long fd = 3; fd < maxFiles; ++fd) ::close(int(fd));
        }
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(127);
        ::execv(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw Error("Cannot start " + path);
}

}  // namespace vantrel::posix
