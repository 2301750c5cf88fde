#include "platform/posix/std_event_loop.h"

#include <ctime>

namespace vantrel::posix {

StdEventLoop::StdEventLoop() : start_(std::chrono::steady_clock::now()) {}

EventLoop::Millis StdEventLoop::now() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now() - start_).count();
}

LocalDateTime StdEventLoop::localTime() const {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

EventLoop::TaskId StdEventLoop::scheduleAt(Millis due, std::function<void()> task) {
    std::lock_guard lock(mutex_);
    const TaskId id = nextId_++;
    tasks_.emplace(std::make_pair(due, id), std::move(task));
    dueOf_.emplace(id, due);
    wake_.notify_one();
    return id;
}

void StdEventLoop::cancel(TaskId id) {
    std::lock_guard lock(mutex_);
    auto it = dueOf_.find(id);
    if (it == dueOf_.end()) return;
    tasks_.erase({it->second, id});
    dueOf_.erase(it);
}

void StdEventLoop::post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
    wake_.notify_one();
}

void StdEventLoop::quit() {
    std::lock_guard lock(mutex_);
    quit_ = true;
    wake_.notify_one();
}

void StdEventLoop::run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        std::function<void()> task;
        if (!posted_.empty()) {
            task = std::move(posted_.front());
            posted_.pop_front();
        } else if (!tasks_.empty() && tasks_.begin()->first.first <= now()) {
            auto node = tasks_.extract(tasks_.begin());
            dueOf_.erase(node.key().second);
            task = std::move(node.mapped());
        } else if (!tasks_.empty()) {
            const auto due = start_ + std::chrono::milliseconds(tasks_.begin()->first.first);
            wake_.wait_until(lock, due);
            continue;
        } else {
            wake_.wait(lock);
            continue;
        }
        lock.unlock();
        task();
        lock.lock();
    }
    quit_ = false;  // a quit asked for before run() ends that run, not the next one
}

}  // namespace vantrel::posix
