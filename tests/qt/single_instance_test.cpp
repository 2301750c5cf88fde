#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QThread>
#include <cstddef>
#include <cstring>
#include <future>

#include "platform/qt/single_instance.h"
#include "tests/adapters/scoped_env.h"

using vantrel::qt::SingleInstance;
using HandOver = SingleInstance::HandOver;

namespace {

constexpr uid_t kOtherUser = 65534;  // nobody

QString uniqueName() {
    static int counter = 0;
    return QStringLiteral("vantrel-test-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

// Keeps this thread's events flowing (the running copy serves here) until `result` is ready.
template <typename T>
T served(std::future<T>& result, int ms = 8000) {
    QDeadlineTimer deadline(ms);
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready &&
           !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return result.get();
}

void serveFor(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Hands over from a worker thread (as a second process would) while this thread serves.
HandOver handOverServed(const QString& name, int answerMs = 3000) {
    auto result = std::async(std::launch::async, [name, answerMs] {
        return SingleInstance(name).handOverToRunningCopy(1000, answerMs);
    });
    return served(result);
}

// The abstract socket address Qt uses for `name`.
sockaddr_un abstractAddress(const QString& name, socklen_t& length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = name.toUtf8();
    std::memcpy(address.sun_path + 1, bytes.constData(), size_t(bytes.size()));
    length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(bytes.size()));
    return address;
}

// Runs `work` in a child process as another user; the child's exit code (`work`'s result), or
// -1. Only plain system calls in the child: the parent has threads.
int asOtherUser(const std::function<int()>& work, int timeoutMs = 10000) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) ::_exit(100);
        ::_exit(work());
    }
    int status = 0;
    QDeadlineTimer deadline(timeoutMs);
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#define REQUIRE_ROOT() \
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a child process as another user"

}  // namespace

TEST(SingleInstance, TheNameIsPerUserAndPerDisplay) {
    QString first, second, sameDisplay;
    {
        ScopedEnv display("DISPLAY", ":1");
        first = SingleInstance::nameForThisSession();
    }
    {
        ScopedEnv display("DISPLAY", ":2");
        second = SingleInstance::nameForThisSession();
    }
    {
        ScopedEnv display("DISPLAY", ":1.0");  // a screen of the same display
        sameDisplay = SingleInstance::nameForThisSession();
    }
    EXPECT_TRUE(first.startsWith(QStringLiteral("TVantrelForm-%1-").arg(::getuid())))
        << first.toStdString();
    EXPECT_NE(first, second);
    EXPECT_EQ(first, sameDisplay);
}

TEST(SingleInstance, SecondListenLosesAndItsHandOverArrives) {
    const QString name = uniqueName();
    SingleInstance first(name);
    int handOvers = 0;
    ASSERT_TRUE(first.listen([&] { ++handOvers; }));
    EXPECT_FALSE(SingleInstance(name).listen([] {}));

    EXPECT_EQ(handOverServed(name), HandOver::Taken);
    EXPECT_EQ(handOvers, 1);
    EXPECT_EQ(handOverServed(name), HandOver::Taken);
    EXPECT_EQ(handOvers, 2);
}

TEST(SingleInstance, WithoutARunningCopyThereIsNoHandOver) {
    EXPECT_EQ(SingleInstance(uniqueName()).handOverToRunningCopy(1000, 1000), HandOver::NoCopy);
}

TEST(SingleInstance, TheNameIsFreeOnceTheFirstCopyHasGone) {
    const QString name = uniqueName();
    {
        ASSERT_TRUE(SingleInstance(name).listen([] {}));
    }
    EXPECT_TRUE(SingleInstance(name).listen([] {}));
}

TEST(SingleInstance, ACopyThatLostTheNameTakesItOverWhenTheFirstEnds) {
    const QString name = uniqueName();
    auto first = std::make_unique<SingleInstance>(name);
    ASSERT_TRUE(first->listen([] {}));
    SingleInstance second(name);
    int handOvers = 0;
    EXPECT_FALSE(second.listen([&] { ++handOvers; }));
    first.reset();
    serveFor(1500);
    EXPECT_TRUE(second.listening());
    EXPECT_EQ(handOverServed(name), HandOver::Taken);
    EXPECT_EQ(handOvers, 1);
}

TEST(SingleInstance, ABusyCopyIsStillACopyAndTakesTheHandOverLater) {
    const QString name = uniqueName();
    SingleInstance first(name);
    int handOvers = 0;
    ASSERT_TRUE(first.listen([&] { ++handOvers; }));
    // The copy does not serve while the start waits for its answer: the start still ends.
    auto start = std::async(std::launch::async, [name] {
        return SingleInstance(name).handOverToRunningCopy(1000, 300);
    });
    EXPECT_EQ(start.get(), HandOver::Unanswered);
    serveFor(300);
    EXPECT_EQ(handOvers, 1);
}

TEST(SingleInstance, OtherMessagesAreDroppedWithoutAHandOver) {
    const QString name = uniqueName();
    SingleInstance first(name);
    int handOvers = 0;
    ASSERT_TRUE(first.listen([&] { ++handOvers; }));
    auto reply = std::async(std::launch::async, [name] {
        QLocalSocket socket;
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        socket.connectToServer(name);
        if (!socket.waitForConnected(3000)) return QByteArray("no connection");
        socket.write("hello\n");
        socket.waitForBytesWritten(3000);
        socket.waitForDisconnected(3000);
        return socket.readAll();
    });
    EXPECT_EQ(served(reply), QByteArray());
    EXPECT_EQ(handOvers, 0);
}

TEST(SingleInstance, IdleConnectionsAreDroppedAndTheCopyStillServes) {
    const QString name = uniqueName();
    SingleInstance first(name);
    int handOvers = 0;
    ASSERT_TRUE(first.listen([&] { ++handOvers; }));
    // Far more idle connections than the copy may hold open, and a file limit they would exceed
    // if each were kept: the copy must drop them and stay the copy.
    rlimit old{};
    ::getrlimit(RLIMIT_NOFILE, &old);
    rlimit low = old;
    low.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> idle;
    for (int i = 0; i < 200; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) break;
        socklen_t length = 0;
        const sockaddr_un address = abstractAddress(name, length);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
        idle.push_back(fd);
        if (i % 10 == 0) QCoreApplication::processEvents();
    }
    serveFor(300);
    for (int fd : idle) ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &old);
    serveFor(1500);  // a copy that ran out of files listens again within a second
    EXPECT_EQ(handOverServed(name), HandOver::Taken);
    EXPECT_EQ(handOvers, 1);
    EXPECT_TRUE(first.listening());
}

TEST(SingleInstance, AnIdleConnectionTimesOut) {
    const QString name = uniqueName();
    SingleInstance first(name);
    ASSERT_TRUE(first.listen([] {}));
    auto closedByCopy = std::async(std::launch::async, [name] {
        QLocalSocket socket;
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        socket.connectToServer(name);
        if (!socket.waitForConnected(3000)) return false;
        return socket.waitForDisconnected(6000);
    });
    EXPECT_TRUE(served(closedByCopy));
}

TEST(SingleInstance, AnotherUsersHandOverIsRefused) {
    REQUIRE_ROOT();
    const QString name = uniqueName();
    SingleInstance first(name);
    int handOvers = 0;
    ASSERT_TRUE(first.listen([&] { ++handOvers; }));
    socklen_t length = 0;
    const sockaddr_un address = abstractAddress(name, length);
    // 0: the copy hung up without an answer; 2: it answered.
    const int outcome = asOtherUser([&] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) return 1;
        if (::write(fd, "1025\n", 5) != 5) return 0;
        timeval limit{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        char answer[8];
        return ::read(fd, answer, sizeof answer) > 0 ? 2 : 0;
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(handOvers, 0);
    EXPECT_EQ(handOverServed(name), HandOver::Taken);  // this user's own start still works
}

TEST(SingleInstance, AListenerOfAnotherUserIsNoRunningCopy) {
    REQUIRE_ROOT();
    const QString name = uniqueName();
    socklen_t length = 0;
    const sockaddr_un address = abstractAddress(name, length);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // Another user's process holds the name and answers every message as taken.
        if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0) ::_exit(100);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) ::_exit(101);
        ::listen(fd, 8);
        [[maybe_unused]] const ssize_t told = ::write(ready[1], "x", 1);
        for (;;) {
            const int client = ::accept(fd, nullptr, nullptr);
            if (client < 0) continue;
            char message[16];
            [[maybe_unused]] const ssize_t got = ::read(client, message, sizeof message);
            [[maybe_unused]] const ssize_t sent = ::write(client, "ok\n", 3);
            ::close(client);
        }
    }
    ::close(ready[1]);
    char byte = 0;
    const bool up = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    const HandOver result =
        up ? SingleInstance(name).handOverToRunningCopy(1000, 1000) : HandOver::Taken;
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(up);
    EXPECT_EQ(result, HandOver::NoCopy);
}
