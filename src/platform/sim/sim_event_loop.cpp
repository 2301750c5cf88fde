#include "platform/sim/sim_event_loop.h"

#include <chrono>

namespace vantrel::sim {

SimEventLoop::SimEventLoop(LocalDateTime start) : localStart_(start) {}

LocalDateTime SimEventLoop::localTime() const {
    using namespace std::chrono;
    const sys_days day = year_month_day{year{localStart_.year}, month{unsigned(localStart_.month)},
                                        std::chrono::day{unsigned(localStart_.day)}};
    const auto start =
        day + hours{localStart_.hour} + minutes{localStart_.minute} + seconds{localStart_.second};
    const auto t = floor<seconds>(start + milliseconds{now_ - localBase_});
    const auto dayOf = floor<days>(t);
    const year_month_day ymd{dayOf};
    const hh_mm_ss hms{t - dayOf};
    return {int(ymd.year()),          int(unsigned(ymd.month())), int(unsigned(ymd.day())),
            int(hms.hours().count()), int(hms.minutes().count()), int(hms.seconds().count())};
}

void SimEventLoop::setLocalTime(LocalDateTime time) {
    localStart_ = time;
    localBase_ = now_;
}

EventLoop::TaskId SimEventLoop::scheduleAt(Millis due, std::function<void()> task) {
    const TaskId id = nextId_++;
    tasks_.emplace(std::make_pair(due, id), std::move(task));
    dueOf_.emplace(id, due);
    return id;
}

void SimEventLoop::cancel(TaskId id) {
    auto it = dueOf_.find(id);
    if (it == dueOf_.end()) return;
    tasks_.erase({it->second, id});
    dueOf_.erase(it);
}

void SimEventLoop::post(std::function<void()> task) {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(task));
}

bool SimEventLoop::runOnePosted() {
    std::function<void()> task;
    {
        std::lock_guard lock(postedMutex_);
        if (posted_.empty()) return false;
        task = std::move(posted_.front());
        posted_.pop_front();
    }
    task();
    return true;
}

bool SimEventLoop::runOneDue(Millis upTo) {
    if (tasks_.empty() || tasks_.begin()->first.first > upTo) return false;
    auto node = tasks_.extract(tasks_.begin());
    dueOf_.erase(node.key().second);
    if (node.key().first > now_) now_ = node.key().first;
    node.mapped()();
    return true;
}

void SimEventLoop::runPending() {
    while (runOnePosted() || runOneDue(now_)) {
    }
}

void SimEventLoop::advance(Millis ms) {
    const Millis end = now_ + ms;
    runPending();
    while (runOneDue(end)) runPending();
    now_ = end;
    runPending();
}

}  // namespace vantrel::sim
