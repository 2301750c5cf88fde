#pragma once

#include <cstdint>
#include <functional>

namespace vantrel {

// Broken-down local date and time, as the user's clock shows it.
struct LocalDateTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The main thread's event loop. The core never sleeps and never reads a clock itself: it asks
// the loop. Everything the program owns runs on the loop's thread; `post` is the only member
// that other threads may call.
class EventLoop {
  public:
    using Millis = std::int64_t;
    using TaskId = std::uint64_t;

    virtual ~EventLoop() = default;

    // Monotonic milliseconds since an arbitrary start.
    virtual Millis now() const = 0;
    virtual LocalDateTime localTime() const = 0;

    // Runs `task` on the loop's thread once `now()` has reached `due`. The id can cancel it.
    virtual TaskId scheduleAt(Millis due, std::function<void()> task) = 0;
    virtual void cancel(TaskId id) = 0;

    // Thread-safe: queues `task` to run on the loop's thread as soon as it can.
    virtual void post(std::function<void()> task) = 0;
};

}  // namespace vantrel
