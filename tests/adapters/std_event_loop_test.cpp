#include <gtest/gtest.h>

#include <thread>

#include "common/timer.h"
#include "platform/posix/std_event_loop.h"

using vantrel::posix::StdEventLoop;

TEST(StdEventLoop, PostFromAnotherThreadRunsOnTheLoopThread) {
    StdEventLoop loop;
    std::thread::id ranOn;
    std::thread worker([&] {
        loop.post([&] {
            ranOn = std::this_thread::get_id();
            loop.quit();
        });
    });
    loop.run();
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(StdEventLoop, TimerFiresAfterItsInterval) {
    StdEventLoop loop;
    const auto start = loop.now();
    int ticks = 0;
    vantrel::Timer timer(
        loop, 20,
        [&] {
            if (++ticks == 3) loop.quit();
        },
        true);
    loop.run();
    EXPECT_EQ(ticks, 3);
    EXPECT_GE(loop.now() - start, 60);
}

TEST(StdEventLoop, QuitBeforeRunEndsThatRun) {
    // A signal may ask the program to end before its loop has started.
    StdEventLoop loop;
    loop.quit();
    loop.run();
    bool ranAgain = false;
    loop.post([&] {
        ranAgain = true;
        loop.quit();
    });
    loop.run();
    EXPECT_TRUE(ranAgain);
}
