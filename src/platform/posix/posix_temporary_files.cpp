#include "platform/posix/posix_temporary_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/error.h"

namespace vantrel::posix {

namespace {

std::string temporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder != nullptr && folder[0] == '/' ? folder : "/tmp";
    if (!path.ends_with('/')) path += '/';
    return path;
}

}  // namespace

std::string PosixTemporaryFiles::createTemporaryFile(std::string_view data,
                                                     std::string_view suffix) {
    std::string path = temporaryFolder() + "vantrel-XXXXXX" + std::string(suffix);
    const int fd = ::mkostemps(path.data(), int(suffix.size()), O_CLOEXEC);
    if (fd < 0)
        throw Error("Cannot create a file in " + temporaryFolder() + ": " + std::strerror(errno));
    size_t written = 0;
    while (written < data.size()) {
        const ssize_t count = ::write(fd, data.data() + written, data.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        written += size_t(count);
    }
    const bool closed = ::close(fd) == 0;
    if (written != data.size() || !closed) {
        ::unlink(path.c_str());
        throw Error("Cannot write " + path);
    }
    return path;
}

}  // namespace vantrel::posix
