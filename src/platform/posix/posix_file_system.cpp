#include "platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/error.h"

namespace vantrel::posix {
namespace {

Error fileError(const std::string& what, const std::string& path, int err) {
    return Error("Cannot " + what + " \"" + path + "\": " + std::strerror(err));
}

}  // namespace

std::optional<std::string> PosixFileSystem::readFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string data;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) data.reserve(size_t(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;  // a directory or an I/O error: treated as missing
        }
        if (n == 0) break;
        data.append(buffer, size_t(n));
    }
    ::close(fd);
    return data;
}

std::optional<std::string> PosixFileSystem::readFileStart(const std::string& path, size_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string data(size, '\0');
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    ::close(fd);
    data.resize(done);
    return data;
}

bool PosixFileSystem::exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void PosixFileSystem::writeFile(const std::string& path, std::string_view data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw fileError("create", path, errno);
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            throw fileError("write", path, err);
        }
        done += size_t(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) throw fileError("write", path, errno);
}

void PosixFileSystem::renameFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) throw fileError("replace", to, errno);
}

void PosixFileSystem::removeFile(const std::string& path) {
    ::unlink(path.c_str());
}

}  // namespace vantrel::posix
