#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "platform/event_loop.h"

namespace vantrel::sim {

// Deterministic loop on a virtual clock: nothing happens until a test advances time or runs the
// queue. Tasks due at the same instant run in the order they were scheduled.
class SimEventLoop : public EventLoop {
  public:
    explicit SimEventLoop(LocalDateTime start = {2026, 12, 7, 9, 30, 0});

    Millis now() const override { return now_; }
    LocalDateTime localTime() const override;
    TaskId scheduleAt(Millis due, std::function<void()> task) override;
    void cancel(TaskId id) override;
    void post(std::function<void()> task) override;

    // Runs posted tasks and tasks already due, without moving the clock.
    void runPending();
    // Moves the clock forward by `ms`, running everything that falls due on the way, in order.
    void advance(Millis ms);
    // Sets the wall clock shown by localTime() from now on.
    void setLocalTime(LocalDateTime time);
    size_t scheduledCount() const { return tasks_.size(); }

  private:
    bool runOnePosted();
    bool runOneDue(Millis upTo);

    Millis now_ = 0;
    Millis localBase_ = 0;  // virtual time at which localStart_ was set
    LocalDateTime localStart_;
    TaskId nextId_ = 1;
    std::map<std::pair<Millis, TaskId>, std::function<void()>> tasks_;
    std::map<TaskId, Millis> dueOf_;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace vantrel::sim
