#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <map>

#include "platform/event_loop.h"

namespace vantrel::qt {

// The program's event loop on Qt's: one single-shot QTimer armed for the earliest due task,
// and `post` queued to the main thread's event queue. Create it on the main thread.
class QtEventLoop : public EventLoop {
  public:
    QtEventLoop();
    ~QtEventLoop() override;

    Millis now() const override;
    LocalDateTime localTime() const override;
    TaskId scheduleAt(Millis due, std::function<void()> task) override;
    void cancel(TaskId id) override;
    void post(std::function<void()> task) override;

  private:
    void runDue();
    void arm();

    QElapsedTimer clock_;
    QObject receiver_;  // queued posts die with it
    QTimer timer_;
    TaskId nextId_ = 1;
    std::map<std::pair<Millis, TaskId>, std::function<void()>> tasks_;
    std::map<TaskId, Millis> dueOf_;
};

}  // namespace vantrel::qt
