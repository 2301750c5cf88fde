#pragma once

#include <chrono>

#include "platform/whois_transport.h"

namespace vantrel::posix {

// The WHOIS exchange over a TCP socket, run on a worker thread: connect, send the query line,
// read until the server closes. Every wait is bounded by the request's limit and by `total` for
// the whole exchange, and ends at once when `stopFd` becomes readable.
class TIdWhois {
  public:
    TIdWhois(int stopFd, std::chrono::milliseconds total) : stopFd_(stopFd), total_(total) {}

    WhoisResult WhoIs(const WhoisRequest& request);

  private:
    enum class Wait { Ready, TimedOut, Stopped, Failed };
    Wait waitFor(int fd, short events, std::chrono::milliseconds limit);
    int connectTo(const WhoisRequest& request, WhoisResult& result);
    bool sendQuery(int fd, const std::string& line, const WhoisRequest& request,
                   WhoisResult& result);
    void readAnswer(int fd, const WhoisRequest& request, WhoisResult& result);

    int stopFd_;
    std::chrono::milliseconds total_;
    std::chrono::steady_clock::time_point deadline_;
};

}  // namespace vantrel::posix
