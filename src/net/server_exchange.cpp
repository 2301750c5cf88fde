#include "net/server_exchange.h"

#include "net/blacklist_merge.h"
#include "net/query_encoding.h"

namespace vantrel {

ServerExchange::ServerExchange(const NetEnvironment& environment, DomainLists& lists)
    : TimerServer(environment.loop, kInterval, [this] { TimerServerTimer(); }),
      env_(environment),
      lists_(lists),
      transfers_(environment.http) {}

bool ServerExchange::doneToday(Exchange exchange, const std::string& today) const {
    const Settings& settings = env_.settings;
    switch (exchange) {
        case BlacklistUpload:
            return settings.vtr_bldate == today;
        case AllowedListUpload:
            return settings.vtr_cldate == today;
        default:
            return settings.vtr_getdate == today;
    }
}

void ServerExchange::TimerServerTimer() {
    const std::string today = env_.today();
    bool allDone = true;
    for (const Exchange exchange : {BlacklistUpload, AllowedListUpload, BlacklistDownload}) {
        if (doneToday(exchange, today)) continue;
        allDone = false;
        if (running_[exchange]) continue;
        if (exchange == BlacklistDownload) {
            download();
        } else {
            upload(exchange);
        }
    }
    if (allDone) TimerServer.setEnabled(false);
}

THTTPGet& ServerExchange::begin(Exchange exchange, std::string url) {
    THTTPGet& transfer = transfers_.create(std::move(url));
    transfer.OnError = [this, exchange](THTTPGet& sender) { OnErrorEvent(sender, exchange); };
    running_[exchange] = &transfer;
    return transfer;
}

void ServerExchange::upload(Exchange exchange) {
    const bool blacklist = exchange == BlacklistUpload;
    const DomainList& list = blacklist ? lists_.BlackList : lists_.CleanList;
    std::string url = env_.server + kUploadPath + "?tp=" + (blacklist ? "0" : "1");
    // Only what was sent is marked when the server acknowledges it: entries added while the
    // request runs go with the next upload.
    std::vector<std::string> sent;
    for (const auto& entry : list.entries()) {
        if (entry.find(':') != std::string::npos) continue;
        url += "&dml[]=" + encodeQueryValue(entry);
        sent.push_back(entry);
    }
    THTTPGet& transfer = begin(exchange, std::move(url));
    transfer.MaxResultSize = kMaxAcknowledgementSize;
    transfer.OnDoneString = [this, exchange, sent = std::move(sent)](THTTPGet& sender,
                                                                     const std::string& body) {
        OnDoneSendStringEvent(sender, exchange, sent, body);
    };
    transfer.GetString();
}

void ServerExchange::download() {
    const Settings& settings = env_.settings;
    std::string url = env_.server + kDownloadPath +
                      "?c_l=" + encodeQueryValue(settings.vtr_slevel) +
                      "&n_l=" + encodeQueryValue(settings.vtr_snlevel);
    if (settings.vtr_getdate.size() > 4) url += "&dt=" + encodeQueryValue(settings.vtr_getdate);
    THTTPGet& transfer = begin(BlacklistDownload, std::move(url));
    transfer.OnDoneString = [this](THTTPGet& sender, const std::string& body) {
        OnDoneGetStringEvent(sender, body);
    };
    transfer.GetString();
}

void ServerExchange::OnDoneSendStringEvent(THTTPGet& sender, Exchange exchange,
                                           const std::vector<std::string>& sent,
                                           const std::string& body) {
    // The blacklist is acknowledged by "OK0" alone, the allowed list by any other answer; an
    // answer meant for the other list acknowledges nothing, so nothing unsent is marked.
    const bool blacklist = exchange == BlacklistUpload;
    if ((body == kBlacklistAcknowledged) != blacklist) {
        OnErrorEvent(sender, exchange);
        return;
    }
    const std::string today = env_.today();
    markSynced(blacklist ? lists_.BlackList : lists_.CleanList, sent);
    (blacklist ? env_.settings.vtr_bldate : env_.settings.vtr_cldate) = today;
    env_.apply(true);
    release(sender, exchange);
}

void ServerExchange::OnDoneGetStringEvent(THTTPGet& sender, const std::string& body) {
    const std::string today = env_.today();
    mergeServerBlacklist(lists_.BlackList, lists_.BlackLV, body);
    env_.settings.vtr_getdate = today;
    env_.apply(true);
    // After the save: the level in force reaches the store with the next save.
    env_.settings.vtr_slevel = env_.settings.vtr_snlevel;
    release(sender, BlacklistDownload);
}

void ServerExchange::OnErrorEvent(THTTPGet& sender, Exchange exchange) {
    release(sender, exchange);
}

void ServerExchange::release(THTTPGet& sender, Exchange exchange) {
    if (running_[exchange] == &sender) running_[exchange] = nullptr;
    transfers_.release(sender);
}

}  // namespace vantrel
