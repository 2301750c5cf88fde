#include "platform/qt/qt_event_loop.h"

#include <QDateTime>
#include <algorithm>

namespace vantrel::qt {

QtEventLoop::QtEventLoop() {
    clock_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &receiver_, [this] { runDue(); });
}

QtEventLoop::~QtEventLoop() = default;

EventLoop::Millis QtEventLoop::now() const {
    return clock_.elapsed();
}

LocalDateTime QtEventLoop::localTime() const {
    const QDateTime t = QDateTime::currentDateTime();
    return {t.date().year(), t.date().month(),  t.date().day(),
            t.time().hour(), t.time().minute(), t.time().second()};
}

EventLoop::TaskId QtEventLoop::scheduleAt(Millis due, std::function<void()> task) {
    const TaskId id = nextId_++;
    tasks_.emplace(std::make_pair(due, id), std::move(task));
    dueOf_[id] = due;
    arm();
    return id;
}

void QtEventLoop::cancel(TaskId id) {
    auto it = dueOf_.find(id);
    if (it == dueOf_.end()) return;
    tasks_.erase({it->second, id});
    dueOf_.erase(it);
    arm();
}

void QtEventLoop::post(std::function<void()> task) {
    QMetaObject::invokeMethod(&receiver_, std::move(task), Qt::QueuedConnection);
}

void QtEventLoop::runDue() {
    // In due order; a task may schedule or cancel others, so the first entry is read afresh.
    while (!tasks_.empty() && tasks_.begin()->first.first <= now()) {
        auto first = tasks_.begin();
        std::function<void()> task = std::move(first->second);
        dueOf_.erase(first->first.second);
        tasks_.erase(first);
        task();
    }
    arm();
}

void QtEventLoop::arm() {
    if (tasks_.empty()) {
        timer_.stop();
        return;
    }
    const Millis wait = tasks_.begin()->first.first - now();
    timer_.start(static_cast<int>(std::clamp<Millis>(wait, 0, 24 * 3600 * 1000)));
}

}  // namespace vantrel::qt
