#include "platform/posix/user_socket.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vantrel::posix {

namespace {

std::string failure(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Makes the folder when missing, then makes sure it is a real folder owned by this user and
// closed to everybody else.
void ensurePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        throw UserSocketError(failure("cannot make the folder", path));
    }
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        throw UserSocketError(failure("cannot read the folder", path));
    }
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::getuid()) {
        throw UserSocketError("the folder " + path + " is not this user's own");
    }
    if ((status.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
        throw UserSocketError(failure("cannot close the folder", path));
    }
}

sockaddr_un socketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        throw UserSocketError("the socket path " + path + " is too long");
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

UniqueFd newSocket() {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) throw UserSocketError(std::string("cannot make a socket: ") + std::strerror(errno));
    return fd;
}

bool ownUser(int socket) {
    return peerUser(socket) == ::getuid();
}

}  // namespace

std::string userSocketFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder;
    // The XDG rules ignore a relative value.
    if (runtime != nullptr && runtime[0] == '/') {
        folder = runtime;
        while (!folder.empty() && folder.back() == '/') folder.pop_back();
        folder += "/vantrel";
    } else {
        folder = "/tmp/vantrel-" + std::to_string(::getuid());
    }
    ensurePrivateFolder(folder);
    return folder + "/";
}

std::string displayName() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::string display = x && *x ? x : wayland ? wayland : "";
    const auto colon = display.rfind(':');
    const auto dot = display.rfind('.');
    if (colon != std::string::npos && dot != std::string::npos && dot > colon) {
        display.resize(dot);
    }
    for (char& c : display) {
        if (c == '/') c = '_';
    }
    return display;
}

std::string nameForThisDisplay(const std::string& base) {
    return base + "-" + displayName();
}

std::optional<uid_t> peerUser(int socket) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
        return std::nullopt;
    }
    return credentials.uid;
}

std::optional<UserSocketListener> UserSocketListener::listen(const std::string& name) {
    const std::string path = userSocketFolder() + name;
    const sockaddr_un address = socketAddress(path);
    const std::string lockPath = path + ".lock";
    UniqueFd lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock) throw UserSocketError(failure("cannot open", lockPath));
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return std::nullopt;
        throw UserSocketError(failure("cannot lock", lockPath));
    }
    // Holding the name, whatever socket file is there was left by a listener that ended.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        throw UserSocketError(failure("cannot remove the old socket", path));
    }
    UniqueFd socket = newSocket();
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw UserSocketError(failure("cannot bind", path));
    }
    if (::listen(socket.get(), 8) != 0) throw UserSocketError(failure("cannot listen on", path));
    return UserSocketListener(path, std::move(lock), std::move(socket));
}

UserSocketListener::UserSocketListener(std::string path, UniqueFd lock, UniqueFd socket)
    : path_(std::move(path)), lock_(std::move(lock)), socket_(std::move(socket)) {}

UserSocketListener::~UserSocketListener() {
    if (socket_) ::unlink(path_.c_str());
}

UniqueFd UserSocketListener::accept() {
    for (;;) {
        UniqueFd client(::accept4(socket_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!client) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return {};  // none waits, or no descriptor left: the listener stays
        }
        if (ownUser(client.get())) return client;
    }
}

UniqueFd connectUserSocket(const std::string& name) {
    const sockaddr_un address = socketAddress(userSocketFolder() + name);
    UniqueFd socket = newSocket();
    int rc;
    do {
        rc = ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0 || !ownUser(socket.get())) return {};
    return socket;
}

}  // namespace vantrel::posix
