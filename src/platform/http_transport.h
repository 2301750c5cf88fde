#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vantrel {

// One HTTP exchange as the transport carries it out.
struct HttpRequest {
    enum class Mode { String, File };

    std::string method = "GET";  // "GET" or "POST"
    // Absolute "http://" or "https://" address; empty when the caller's address could not be used,
    // which the transport ends as a failure like any other.
    std::string url;
    std::string accept;    // value of the Accept header
    std::string agent;     // User-Agent; empty sends none
    std::string referer;   // empty sends none
    std::string userName;  // credentials offered when the server asks; empty: none
    std::string password;
    bool bypassCache = true;  // asks every cache on the way for a fresh copy
    std::string contentType;  // POST only
    std::string body;         // POST only

    Mode mode = Mode::String;
    // File mode: created or truncated once a body may follow, and removed again when the
    // transfer does not complete, so that only a whole body is ever left there.
    std::string filePath;
    // A body announced or growing beyond this many bytes ends the transfer as a failure; reading
    // stops there. 0: no cap (file mode only).
    std::int64_t maxBodyBytes = 0;
    // Without a Content-Length header the body is not read and the transfer fails.
    bool requireContentLength = false;
};

// What came back. The transport judges only whether the exchange ran to its end; whether that
// counts as success is the caller's rule.
struct HttpResult {
    // Headers and a whole body arrived (as long as announced, when announced); false after a
    // network failure, a timeout, an abort, or an early stop (see HttpTransport).
    bool completed = false;
    int status = 0;                             // 0 when no response came
    std::optional<std::int64_t> contentLength;  // the header's value, when it came
    std::int64_t received = 0;                  // body bytes stored (string or file)
    std::string body;                           // String mode
    std::string error;                          // why it did not complete, for diagnostics
};

inline bool isSuccessStatus(int status) {
    return status >= 200 && status <= 299;
}

// A running transfer, owned by whoever started it. Dropping the handle does not stop it.
class HttpTransfer {
  public:
    virtual ~HttpTransfer() = default;
    // Asks the transfer to stop soon; it then completes with `completed` false, even when its
    // body had already arrived whole (a file is then removed). Main thread only.
    virtual void abort() = 0;
};

// Runs each transfer on its own worker and hands the results to the main loop.
//
// Callbacks run on the main loop's thread only:
// - `progress(total, received)` after each piece of body stored, total being the Content-Length
//   (0 when none came); the worker waits until it has run (or the transfer is aborted).
// - `done(result)` exactly once per started transfer, after the worker has finished its work.
//
// A transport stops reading early (completed = false) once a transfer can no longer succeed:
// a status outside 200..299, a missing Content-Length when required, or a body beyond the cap.
// Destroying the transport aborts every transfer whose `done` has not run yet.
class HttpTransport {
  public:
    struct Callbacks {
        std::function<void(std::int64_t total, std::int64_t received)> progress;  // may be empty
        std::function<void(HttpResult result)> done;
    };

    virtual ~HttpTransport() = default;
    // Main thread only. Never calls a callback before it returns.
    virtual std::unique_ptr<HttpTransfer> start(HttpRequest request, Callbacks callbacks) = 0;
};

}  // namespace vantrel
