#include "common/timer.h"

namespace vantrel {

Timer::Timer(EventLoop& loop, EventLoop::Millis interval, std::function<void()> onTimer,
             bool enabled)
    : loop_(loop), interval_(interval), onTimer_(std::move(onTimer)) {
    setEnabled(enabled);
}

Timer::~Timer() {
    setEnabled(false);
}

void Timer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled_) {
        schedule();
    } else if (pending_ != 0) {
        loop_.cancel(pending_);
        pending_ = 0;
    }
}

void Timer::setInterval(EventLoop::Millis interval) {
    interval_ = interval;
    if (enabled_) {
        setEnabled(false);
        setEnabled(true);
    }
}

void Timer::schedule() {
    pending_ = loop_.scheduleAt(loop_.now() + interval_, [this] { fire(); });
}

void Timer::fire() {
    pending_ = 0;
    if (!enabled_) return;
    schedule();  // the next tick is due one interval after this one
    if (onTimer_) onTimer_();
}

}  // namespace vantrel
