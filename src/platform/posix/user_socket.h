#pragma once

#include <sys/types.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "platform/posix/unique_fd.h"

namespace vantrel::posix {

// A local socket that only this user can open: it lives in a folder of the user's own with mode
// 0700 (`$XDG_RUNTIME_DIR/vantrel/`, or `/tmp/vantrel-<uid>/` without a runtime folder), and both
// ends check the other's user by its peer credentials. Every descriptor handed out is
// non-blocking and close-on-exec, ready for a poll loop or a socket notifier.
class UserSocketError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The folder, made when missing. Throws UserSocketError when it cannot be made, or when what is
// there is not a folder of this user's (a symbolic link, another owner): nothing is then put
// into it. A folder of this user's that others may enter is closed to them.
std::string userSocketFolder();

// The display this process shows on, ":0" for both ":0" and ":0.0" (the screen left out); the
// Wayland display without an X one; empty without either. A "/" in it becomes "_", so it can be
// part of a file name.
std::string displayName();

// `base` with the display appended, for a socket per user and display ("base-:0").
std::string nameForThisDisplay(const std::string& base);

// The user of the process at the other end of a connected local socket.
std::optional<uid_t> peerUser(int socket);

// The listening end of the socket `name` in the user's folder. The name is held by a lock file
// beside the socket for as long as the listener lives, so a live listener is never replaced,
// while a socket file left by a listener that ended is.
class UserSocketListener {
  public:
    // Nothing when a live listener holds the name. Throws UserSocketError for every other
    // failure (the folder, a name too long for a socket address, no descriptor left).
    static std::optional<UserSocketListener> listen(const std::string& name);

    UserSocketListener(UserSocketListener&&) = default;
    UserSocketListener& operator=(UserSocketListener&&) = default;
    // Removes the socket file, then lets go of the name.
    ~UserSocketListener();

    // Poll it for reading to learn of a connection waiting.
    int fd() const { return socket_.get(); }
    const std::string& path() const { return path_; }
    // The next waiting connection of this user; connections of other users are closed unread.
    // Invalid when none waits.
    UniqueFd accept();

  private:
    UserSocketListener(std::string path, UniqueFd lock, UniqueFd socket);

    std::string path_;
    UniqueFd lock_;
    UniqueFd socket_;
};

// A connection to the socket `name` in the user's folder. Invalid when nobody of this user
// listens there (no socket, a stale one, a listener whose queue is full, another user's).
// Throws UserSocketError when the folder is not the user's own.
UniqueFd connectUserSocket(const std::string& name);

}  // namespace vantrel::posix
