#include <gtest/gtest.h>

#include <vector>

#include "common/timer.h"
#include "platform/sim/sim_event_loop.h"

using vantrel::Timer;
using vantrel::sim::SimEventLoop;

TEST(Timer, RepeatsEveryIntervalWhileEnabled) {
    SimEventLoop loop;
    std::vector<long> ticks;
    Timer timer(
        loop, 100, [&] { ticks.push_back(loop.now()); }, true);
    loop.advance(350);
    EXPECT_EQ(ticks, (std::vector<long>{100, 200, 300}));
}

TEST(Timer, EnablingARunningTimerKeepsItsDueTime) {
    SimEventLoop loop;
    std::vector<long> ticks;
    Timer timer(loop, 2000, [&] {
        timer.setEnabled(false);
        ticks.push_back(loop.now());
    });
    timer.setEnabled(true);
    loop.advance(1500);
    timer.setEnabled(true);  // a second navigation within the interval
    loop.advance(3000);
    EXPECT_EQ(ticks, (std::vector<long>{2000}));
}

TEST(Timer, HandlerThatDisablesFirstFiresOncePerEnabling) {
    SimEventLoop loop;
    int count = 0;
    Timer timer(loop, 100, [&] {
        timer.setEnabled(false);
        ++count;
    });
    timer.setEnabled(true);
    loop.advance(1000);
    EXPECT_EQ(count, 1);
    timer.setEnabled(true);
    loop.advance(99);
    EXPECT_EQ(count, 1);
    loop.advance(1);
    EXPECT_EQ(count, 2);
}

TEST(Timer, DestroyedTimerNeverFires) {
    SimEventLoop loop;
    int count = 0;
    {
        Timer timer(
            loop, 10, [&] { ++count; }, true);
    }
    loop.advance(100);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(loop.scheduledCount(), 0u);
}

TEST(SimEventLoop, LocalTimeFollowsVirtualClockAcrossMidnight) {
    SimEventLoop loop({2026, 12, 31, 23, 59, 58});
    loop.advance(2500);
    const auto t = loop.localTime();
    EXPECT_EQ(t.year, 2027);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.minute, 0);
    EXPECT_EQ(t.second, 0);
}

TEST(SimEventLoop, PostedTasksRunInOrderBeforeLaterTimers) {
    SimEventLoop loop;
    std::vector<int> order;
    loop.scheduleAt(5, [&] { order.push_back(3); });
    loop.post([&] { order.push_back(1); });
    loop.post([&] { order.push_back(2); });
    loop.runPending();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    loop.advance(5);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}
