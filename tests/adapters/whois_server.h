#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A WHOIS server on 127.0.0.1 for the tests. Each connection reads one query line and hands it
// to the reply function, whose Reply says what the server then does. Stopping it (the
// destructor) ends every connection, silent ones included.
class WhoisServer {
  public:
    struct Reply {
        enum class Kind { Answer, Silence, ResetAfter } kind = Kind::Answer;
        std::string text;  // sent before closing (Answer) or before the reset (ResetAfter)
    };
    using ReplyFor = std::function<Reply(const std::string& query)>;

    explicit WhoisServer(ReplyFor replyFor) : replyFor_(std::move(replyFor)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 64);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        if (::pipe(stop_) != 0) stop_[0] = stop_[1] = -1;
        acceptor_ = std::thread([this] { acceptLoop(); });
    }

    ~WhoisServer() {
        const char byte = 0;
        [[maybe_unused]] const ssize_t written = ::write(stop_[1], &byte, 1);
        acceptor_.join();
        for (auto& connection : connections_) connection.join();
        ::close(listener_);
        ::close(stop_[0]);
        ::close(stop_[1]);
    }

    WhoisServer(const WhoisServer&) = delete;
    WhoisServer& operator=(const WhoisServer&) = delete;

    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

    // Every query line received, with its line end, in order of arrival.
    std::vector<std::string> queries() const {
        std::lock_guard lock(mutex_);
        return queries_;
    }

  private:
    bool waitReadable(int fd) const {
        pollfd polled[2] = {{fd, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        return ::poll(polled, 2, 30000) > 0 && polled[1].revents == 0 && polled[0].revents != 0;
    }

    void acceptLoop() {
        while (waitReadable(listener_)) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            connections_.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd) {
        std::string line;
        char c = 0;
        while (line.find('\n') == std::string::npos && waitReadable(fd) &&
               ::recv(fd, &c, 1, 0) == 1)
            line += c;
        {
            std::lock_guard lock(mutex_);
            queries_.push_back(line);
        }
        std::string query = line.substr(0, line.find_first_of("\r\n"));
        const Reply reply = replyFor_(query);
        if (reply.kind == Reply::Kind::Silence) {
            pollfd polled{stop_[0], POLLIN, 0};
            ::poll(&polled, 1, 30000);
        } else {
            size_t sent = 0;
            while (sent < reply.text.size()) {
                const ssize_t count =
                    ::send(fd, reply.text.data() + sent, reply.text.size() - sent, MSG_NOSIGNAL);
                if (count <= 0) break;
                sent += size_t(count);
            }
            if (reply.kind == Reply::Kind::ResetAfter) {
                const linger reset{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            }
        }
        ::close(fd);
    }

    ReplyFor replyFor_;
    int listener_ = -1;
    int port_ = 0;
    int stop_[2] = {-1, -1};
    std::thread acceptor_;
    std::vector<std::thread> connections_;  // acceptor thread only, until it has ended
    mutable std::mutex mutex_;
    std::vector<std::string> queries_;
};
