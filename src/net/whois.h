#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/whois_transport.h"

namespace vantrel {

// The host and port a server text names: "host", "host:port", "[v6 address]" or
// "[v6 address]:port". The port defaults to 43; an unusable text gives an empty host.
struct WhoisServerAddress {
    std::string host;
    int port = 43;
};
WhoisServerAddress parseWhoisServer(std::string_view text);

// True when the answer is one of the registries' "no such domain" answers (one table for every
// registry the finder asks).
bool isFreeDomainAnswer(std::string_view answer);

// One background WHOIS lookup of `Domain`. Exactly one OnDoneEvent follows each started lookup,
// on the main thread: IsFound true with the whole answer when the name is registered, IsFound
// false with the answer when the registry does not know it, and IsFound false with "Error" when
// the exchange failed (no connection, a time limit, an answer beyond the cap, an abort). A
// destroyed component never hears of its lookup again; the handler may release the component.
class TWhoIs {
  public:
    using TOnDoneQueryEvent =
        std::function<void(TWhoIs& Sender, bool IsFound, const std::string& StringResult)>;

    static constexpr const char* kErrorResult = "Error";
    // The registry of .com and .net.
    static constexpr const char* kDefaultServer = "whois.verisign-grs.com";
    // Connect and read limit when TimeOut is 0, so a silent server cannot hold a lookup forever.
    static constexpr int kDefaultTimeOut = 15000;

    explicit TWhoIs(WhoisTransport& transport);
    ~TWhoIs();
    TWhoIs(const TWhoIs&) = delete;
    TWhoIs& operator=(const TWhoIs&) = delete;

    std::string Domain;
    std::string ServerName = kDefaultServer;  // "host" or "host:port"
    int TimeOut = 0;                          // milliseconds; 0: kDefaultTimeOut
    // Not honoured: Lookup cannot pump the main loop from inside a handler of that same loop, so
    // a caller that needs the result waits for OnDoneEvent instead. Kept as a setting so that
    // callers state what they expect.
    bool WaitThread = false;
    TOnDoneQueryEvent OnDoneEvent;

    // Starts the lookup; does nothing while one of this component runs.
    void Lookup();
    // The running lookup, if any, ends with "Error".
    void Abort();
    bool Busy() const { return exchange_ != nullptr; }

  private:
    void finish(const WhoisResult& result);

    WhoisTransport& transport_;
    std::unique_ptr<WhoisExchange> exchange_;
    bool aborted_ = false;
    // Callbacks hold it weakly: once the component is gone they find nothing to call.
    std::shared_ptr<TWhoIs*> self_;
};

}  // namespace vantrel
