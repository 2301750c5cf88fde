#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <thread>
#include <vector>

#include "common/timer.h"
#include "platform/qt/qt_event_loop.h"

using vantrel::Timer;
using vantrel::qt::QtEventLoop;

namespace {

// Runs Qt's loop until `done` or `ms` have passed.
bool runUntil(const std::function<bool()>& done, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return done();
}

}  // namespace

TEST(QtEventLoop, TasksRunInDueOrderAndCancelledOnesNever) {
    QtEventLoop loop;
    std::vector<int> ran;
    const auto start = loop.now();
    loop.scheduleAt(start + 30, [&] { ran.push_back(3); });
    loop.scheduleAt(start + 10, [&] { ran.push_back(1); });
    const auto dropped = loop.scheduleAt(start + 20, [&] { ran.push_back(2); });
    loop.scheduleAt(start + 30, [&] { ran.push_back(4); });
    loop.cancel(dropped);
    ASSERT_TRUE(runUntil([&] { return ran.size() == 3; }));
    EXPECT_EQ(ran, (std::vector<int>{1, 3, 4}));
    EXPECT_GE(loop.now() - start, 30);
}

TEST(QtEventLoop, PostFromAnotherThreadRunsOnTheLoopsThread) {
    QtEventLoop loop;
    QThread* ranOn = nullptr;
    std::thread worker([&] { loop.post([&] { ranOn = QThread::currentThread(); }); });
    worker.join();
    ASSERT_TRUE(runUntil([&] { return ranOn != nullptr; }));
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
}

TEST(QtEventLoop, DrivesTheProgramsTimers) {
    QtEventLoop loop;
    int ticks = 0;
    Timer timer(
        loop, 15, [&] { ++ticks; }, true);
    ASSERT_TRUE(runUntil([&] { return ticks >= 3; }));
    timer.setEnabled(false);
    const int stopped = ticks;
    runUntil([] { return false; }, 100);  // let time pass: a disabled timer stays quiet
    EXPECT_EQ(ticks, stopped);
}
