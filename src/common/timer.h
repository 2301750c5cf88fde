#pragma once

#include <functional>

#include "platform/event_loop.h"

namespace vantrel {

// A repeating window-style timer. Enabling a timer that already runs keeps its due time; a
// handler that disables its own timer first makes it fire once per enabling.
class Timer {
  public:
    Timer(EventLoop& loop, EventLoop::Millis interval, std::function<void()> onTimer,
          bool enabled = false);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void setEnabled(bool enabled);
    bool enabled() const { return enabled_; }
    EventLoop::Millis interval() const { return interval_; }
    // Changing the interval of a running timer restarts its countdown.
    void setInterval(EventLoop::Millis interval);
    void setHandler(std::function<void()> onTimer) { onTimer_ = std::move(onTimer); }

  private:
    void schedule();
    void fire();

    EventLoop& loop_;
    EventLoop::Millis interval_;
    std::function<void()> onTimer_;
    bool enabled_ = false;
    EventLoop::TaskId pending_ = 0;
};

}  // namespace vantrel
