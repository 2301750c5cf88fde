#pragma once

#include <chrono>

#include "platform/posix/std_event_loop.h"

// Runs the loop until a task quits it, or `limit` passed.
inline void runUntilQuit(vantrel::posix::StdEventLoop& loop,
                         std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto guard = loop.scheduleAt(loop.now() + limit.count(), [&loop] { loop.quit(); });
    loop.run();
    loop.cancel(guard);
}

// Runs the loop for `span`, so that anything posted on the way is delivered.
inline void runFor(vantrel::posix::StdEventLoop& loop, std::chrono::milliseconds span) {
    loop.scheduleAt(loop.now() + span.count(), [&loop] { loop.quit(); });
    loop.run();
}
