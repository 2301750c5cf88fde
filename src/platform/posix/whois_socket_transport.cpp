#include "platform/posix/whois_socket_transport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/posix/whois_client.h"

namespace vantrel::posix {

// What the workers share with the transport: the loop to post to while the transport lives,
// and the workers still running, so that the transport can stop them.
struct WhoisSocketTransport::Link {
    std::mutex mutex;
    EventLoop* loop = nullptr;  // null once the transport is gone
    std::vector<std::weak_ptr<TWhoIsThread>> running;
};

// One lookup's worker. It owns itself while it runs; the pipe wakes its waits when stopped.
class WhoisSocketTransport::TWhoIsThread
    : public std::enable_shared_from_this<WhoisSocketTransport::TWhoIsThread> {
  public:
    TWhoIsThread(WhoisRequest request, Done done, std::shared_ptr<Link> link)
        : request_(std::move(request)), done_(std::move(done)), link_(std::move(link)) {
        if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) stopPipe_[0] = stopPipe_[1] = -1;
    }
    ~TWhoIsThread() {
        for (const int fd : stopPipe_) {
            if (fd >= 0) ::close(fd);
        }
    }
    TWhoIsThread(const TWhoIsThread&) = delete;
    TWhoIsThread& operator=(const TWhoIsThread&) = delete;

    void start(std::chrono::milliseconds total) {
        std::thread([self = shared_from_this(), total] { self->run(total); }).detach();
    }

    // Any thread: makes the exchange's current or next wait end at once.
    void stop() {
        if (stopPipe_[1] < 0) return;
        const char byte = 0;
        [[maybe_unused]] const ssize_t written = ::write(stopPipe_[1], &byte, 1);
    }

  private:
    void run(std::chrono::milliseconds total) {
        WhoisResult result;
        if (stopPipe_[0] < 0) {
            result.error = "cannot start the lookup";
        } else {
            result = TIdWhois(stopPipe_[0], total).WhoIs(request_);
        }
        std::lock_guard lock(link_->mutex);
        std::erase_if(link_->running, [this](const auto& weak) {
            const auto worker = weak.lock();
            return !worker || worker.get() == this;
        });
        if (link_->loop == nullptr) return;
        link_->loop->post([self = shared_from_this(), result = std::move(result)]() mutable {
            self->done_(std::move(result));
        });
    }

    const WhoisRequest request_;
    Done done_;
    std::shared_ptr<Link> link_;
    int stopPipe_[2] = {-1, -1};
};

class WhoisSocketTransport::Handle : public WhoisExchange {
  public:
    explicit Handle(std::weak_ptr<TWhoIsThread> worker) : worker_(std::move(worker)) {}
    void abort() override {
        if (const auto worker = worker_.lock()) worker->stop();
    }

  private:
    std::weak_ptr<TWhoIsThread> worker_;
};

WhoisSocketTransport::WhoisSocketTransport(EventLoop& loop, std::chrono::milliseconds total)
    : link_(std::make_shared<Link>()), total_(total) {
    link_->loop = &loop;
}

WhoisSocketTransport::~WhoisSocketTransport() {
    std::lock_guard lock(link_->mutex);
    link_->loop = nullptr;
    for (const auto& weak : link_->running) {
        if (const auto worker = weak.lock()) worker->stop();
    }
}

std::unique_ptr<WhoisExchange> WhoisSocketTransport::start(WhoisRequest request, Done done) {
    auto worker = std::make_shared<TWhoIsThread>(std::move(request), std::move(done), link_);
    {
        std::lock_guard lock(link_->mutex);
        link_->running.push_back(worker);
    }
    worker->start(total_);
    return std::make_unique<Handle>(worker);
}

}  // namespace vantrel::posix
