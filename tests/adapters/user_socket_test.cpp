// The per-user socket on real sockets in a temporary runtime folder. The tests that need a
// second user switch a forked child to another uid, and are skipped unless run as root.

#include "platform/posix/user_socket.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "scoped_env.h"
#include "temp_dir.h"

using vantrel::posix::connectUserSocket;
using vantrel::posix::UniqueFd;
using vantrel::posix::UserSocketError;
using vantrel::posix::UserSocketListener;

namespace {

constexpr uid_t kOtherUser = 65534;

class UserSocket : public ::testing::Test {
  protected:
    mode_t folderMode() {
        struct stat status {};
        if (::lstat(folder.c_str(), &status) != 0) return 0;
        return status.st_mode & 07777;
    }
    // A socket bound at the path and closed without removing its file, as a listener that was
    // killed leaves it.
    void leaveStaleSocket(const std::string& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
        ASSERT_EQ(::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(fd.get(), 1), 0);
    }
    // Runs `body` in a child switched to another user; its exit status.
    static int asOtherUser(const std::function<int()>& body) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) ::_exit(99);
            ::_exit(body());
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    TempDir runtime;
    ScopedEnv env{"XDG_RUNTIME_DIR", runtime.path().c_str()};
    std::string folder = runtime.path() + "vantrel";
};

TEST_F(UserSocket, TheFolderIsMadeForThisUserOnlyAndAnOpenOneIsClosed) {
    EXPECT_EQ(vantrel::posix::userSocketFolder(), folder + "/");
    EXPECT_EQ(folderMode(), 0700u);
    ::chmod(folder.c_str(), 0755);
    vantrel::posix::userSocketFolder();
    EXPECT_EQ(folderMode(), 0700u);
}

TEST_F(UserSocket, AFolderThatIsALinkOrAnotherUsersIsRefused) {
    TempDir elsewhere;
    std::filesystem::create_directory_symlink(elsewhere.path(), folder);
    EXPECT_THROW(vantrel::posix::userSocketFolder(), UserSocketError);
    EXPECT_THROW(UserSocketListener::listen("keeper"), UserSocketError);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));

    if (::getuid() != 0) GTEST_SKIP() << "another user's folder needs root to make";
    std::filesystem::remove(folder);
    std::filesystem::create_directory(folder);
    ASSERT_EQ(::chown(folder.c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_THROW(connectUserSocket("keeper"), UserSocketError);
}

TEST_F(UserSocket, ConnectionsCarryBytesBothWaysWithoutBlocking) {
    auto listener = UserSocketListener::listen("keeper");
    ASSERT_TRUE(listener);
    EXPECT_FALSE(listener->accept()) << "nobody connected yet";
    UniqueFd client = connectUserSocket("keeper");
    ASSERT_TRUE(client);
    UniqueFd served = listener->accept();
    ASSERT_TRUE(served);
    for (int fd : {client.get(), served.get(), listener->fd()}) {
        EXPECT_TRUE(::fcntl(fd, F_GETFL) & O_NONBLOCK);
        EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);
    }
    EXPECT_EQ(vantrel::posix::peerUser(served.get()), ::getuid());
    ASSERT_EQ(::write(client.get(), "hi", 2), 2);
    char buffer[4] = {};
    EXPECT_EQ(::read(served.get(), buffer, sizeof buffer), 2);
    EXPECT_STREQ(buffer, "hi");
    char none;
    EXPECT_EQ(::read(client.get(), &none, 1), -1) << "a read with nothing there must not block";
    EXPECT_EQ(errno, EAGAIN);
}

TEST_F(UserSocket, ALiveListenerKeepsItsNameAndAStaleSocketIsReplaced) {
    {
        auto first = UserSocketListener::listen("keeper");
        ASSERT_TRUE(first);
        EXPECT_FALSE(UserSocketListener::listen("keeper")) << "a live listener was replaced";
        EXPECT_TRUE(connectUserSocket("keeper"));
        EXPECT_TRUE(first->accept()) << "the first listener lost its connections";
        EXPECT_TRUE(UserSocketListener::listen("other")) << "names are independent";
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/keeper")) << "the ended listener's file";
    EXPECT_FALSE(connectUserSocket("keeper"));

    leaveStaleSocket(folder + "/keeper");
    EXPECT_FALSE(connectUserSocket("keeper")) << "nobody listens on a stale socket";
    auto again = UserSocketListener::listen("keeper");
    ASSERT_TRUE(again);
    EXPECT_TRUE(connectUserSocket("keeper"));
    EXPECT_TRUE(again->accept());
}

TEST_F(UserSocket, ANameTooLongForASocketIsAnError) {
    EXPECT_THROW(UserSocketListener::listen(std::string(120, 'k')), UserSocketError);
}

TEST_F(UserSocket, AnotherUsersConnectionIsClosedUnread) {
    if (::getuid() != 0) GTEST_SKIP() << "a second user needs root";
    auto listener = UserSocketListener::listen("keeper");
    ASSERT_TRUE(listener);
    // Even with the folder and socket opened up by mistake, the peer check holds.
    ::chmod(runtime.path().c_str(), 0755);
    ::chmod(folder.c_str(), 0755);
    ::chmod(listener->path().c_str(), 0777);
    const std::string path = listener->path();
    const int status = asOtherUser([&] {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        return ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? 0 : 2;
    });
    ASSERT_EQ(status, 0) << "the other user could not connect at all";
    EXPECT_FALSE(listener->accept()) << "another user's connection was handed out";
    EXPECT_TRUE(connectUserSocket("keeper"));
    EXPECT_TRUE(listener->accept()) << "the listener must go on serving its own user";
}

TEST_F(UserSocket, TheDisplayNameLeavesOutTheScreenAndSlashes) {
    ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
    {
        ScopedEnv display("DISPLAY", ":1.0");
        EXPECT_EQ(vantrel::posix::nameForThisDisplay("keeper"), "keeper-:1");
    }
    {
        ScopedEnv display("DISPLAY", "/tmp/launch/org:0");
        EXPECT_EQ(vantrel::posix::displayName(), "_tmp_launch_org:0");
    }
    ScopedEnv display("DISPLAY", nullptr);
    EXPECT_EQ(vantrel::posix::displayName(), "wayland-0");
}

}  // namespace
