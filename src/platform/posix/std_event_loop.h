#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "platform/event_loop.h"

namespace vantrel::posix {

// A real event loop on the standard library for programs without a GUI toolkit: timers on the
// steady clock and a thread-safe queue of posted tasks, all run on the thread that calls run().
class StdEventLoop : public EventLoop {
  public:
    StdEventLoop();

    Millis now() const override;
    LocalDateTime localTime() const override;
    TaskId scheduleAt(Millis due, std::function<void()> task) override;
    void cancel(TaskId id) override;
    void post(std::function<void()> task) override;

    // Runs tasks until quit() is called (from any thread or from a task); a quit that came
    // before run() makes it return at once.
    void run();
    void quit();

  private:
    std::chrono::steady_clock::time_point start_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> posted_;
    std::map<std::pair<Millis, TaskId>, std::function<void()>> tasks_;
    std::map<TaskId, Millis> dueOf_;
    TaskId nextId_ = 1;
    bool quit_ = false;
};

}  // namespace vantrel::posix
