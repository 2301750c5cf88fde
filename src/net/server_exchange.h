#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/timer.h"
#include "engine/domain_lists.h"
#include "net/net_environment.h"
#include "net/transfers.h"

namespace vantrel {

// The daily exchange of the domain lists with the vendor server: the entries added to the
// blacklist and to the allowed list since their last upload go up, the blacklist domains the
// server proposes for the chosen sensitivity level come down. Each of the three is retried at
// every tick until it has succeeded today; failures are silent.
class ServerExchange {
  public:
    static constexpr EventLoop::Millis kInterval = 40000;
    static constexpr const char* kUploadPath = "/vtr/send.php";
    static constexpr const char* kDownloadPath = "/vtr/get.php";
    static constexpr const char* kBlacklistAcknowledged = "OK0";
    // An upload's acknowledgement is short: a longer one fails unread, so that only the list
    // download may take the string cap's room.
    static constexpr std::int64_t kMaxAcknowledgementSize = 64 * 1024;

    ServerExchange(const NetEnvironment& environment, DomainLists& lists);

    // Starts each exchange not yet done today (and not already under way); stops the timer once
    // all three are done today.
    void TimerServerTimer();

    // Disabled at first; the start-up enables it.
    Timer TimerServer;

  private:
    enum Exchange { BlacklistUpload, AllowedListUpload, BlacklistDownload, ExchangeCount };

    bool doneToday(Exchange exchange, const std::string& today) const;
    void upload(Exchange exchange);
    void download();
    THTTPGet& begin(Exchange exchange, std::string url);
    void OnDoneSendStringEvent(THTTPGet& sender, Exchange exchange,
                               const std::vector<std::string>& sent, const std::string& body);
    void OnDoneGetStringEvent(THTTPGet& sender, const std::string& body);
    void OnErrorEvent(THTTPGet& sender, Exchange exchange);
    void release(THTTPGet& sender, Exchange exchange);

    NetEnvironment env_;
    DomainLists& lists_;
    Transfers transfers_;
    // The transfer of each exchange while it runs, so that a slow one is not started twice.
    std::array<THTTPGet*, ExchangeCount> running_{};
};

}  // namespace vantrel
