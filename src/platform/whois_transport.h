#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vantrel {

// One WHOIS exchange: connect, send the query line, read the answer until the server closes.
struct WhoisRequest {
    std::string host;
    int port = 43;
    std::string query;  // sent followed by CR LF
    // The connection must be made, and each read must bring data, within this time.
    std::chrono::milliseconds waitLimit{15000};
    // An answer growing beyond this many bytes ends the exchange as a failure.
    std::int64_t maxAnswerBytes = 1024 * 1024;
};

struct WhoisResult {
    bool completed = false;  // the server answered and closed the connection
    std::string answer;
    std::string error;  // why it did not complete, for diagnostics
};

// A running exchange, owned by whoever started it.
class WhoisExchange {
  public:
    virtual ~WhoisExchange() = default;
    // Asks the exchange to stop soon; it then completes with `completed` false. Main thread only.
    virtual void abort() = 0;
};

// Runs each exchange on its own worker and hands the result to the main loop: `done` runs on
// the loop's thread exactly once per started exchange, never before `start` returns. A
// transport being destroyed waits for none of its workers.
class WhoisTransport {
  public:
    using Done = std::function<void(WhoisResult result)>;

    virtual ~WhoisTransport() = default;
    virtual std::unique_ptr<WhoisExchange> start(WhoisRequest request, Done done) = 0;
};

}  // namespace vantrel
