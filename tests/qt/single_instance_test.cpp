#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <future>

#include "platform/qt/single_instance.h"

using vantrel::qt::SingleInstance;

namespace {

QString uniqueName() {
    static int counter = 0;
    return QStringLiteral("vantrel-test-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

// Hands over from a worker thread (as a second process would) while this thread serves.
bool handOverServed(const QString& name) {
    auto result = std::async(std::launch::async,
                             [name] { return SingleInstance(name).handOverToRunningCopy(3000); });
    QDeadlineTimer deadline(5000);
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready &&
           !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return result.get();
}

}  // namespace

TEST(SingleInstance, TheNameIsPerUser) {
    EXPECT_TRUE(SingleInstance::nameForCurrentUser().startsWith("TVantrelForm-"));
    EXPECT_GT(SingleInstance::nameForCurrentUser().size(), 13);
}

TEST(SingleInstance, SecondListenLosesAndItsHandOverArrives) {
    const QString name = uniqueName();
    SingleInstance first(name);
    int handOvers = 0;
    ASSERT_TRUE(first.listen([&] { ++handOvers; }));
    EXPECT_FALSE(SingleInstance(name).listen([] {}));

    EXPECT_TRUE(handOverServed(name));
    EXPECT_EQ(handOvers, 1);
    EXPECT_TRUE(handOverServed(name));
    EXPECT_EQ(handOvers, 2);
}

TEST(SingleInstance, WithoutARunningCopyThereIsNoHandOver) {
    EXPECT_FALSE(SingleInstance(uniqueName()).handOverToRunningCopy(1000));
}

TEST(SingleInstance, TheNameIsFreeOnceTheFirstCopyHasGone) {
    const QString name = uniqueName();
    {
        ASSERT_TRUE(SingleInstance(name).listen([] {}));
    }
    EXPECT_TRUE(SingleInstance(name).listen([] {}));
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
    QDeadlineTimer deadline(5000);
    while (reply.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready &&
           !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(reply.get(), QByteArray());
    EXPECT_EQ(handOvers, 0);
}
