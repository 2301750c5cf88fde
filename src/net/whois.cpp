#include "net/whois.h"

#include <array>
#include <utility>

#include "common/text.h"

namespace vantrel {

namespace {

// What the registries of the finder's suffixes answer for a name they do not hold.
constexpr std::array<std::string_view, 6> kFreeAnswers = {
    "No match for",                       // .com, .net
    "NOT FOUND",                          // .org, .info
    "Domain not found",                   // .org, .info, .biz
    "No Data Found",                      // .us, .biz
    "The queried object does not exist",  // .ws
    "No entries found",
};

bool isPort(std::string_view text, int& port) {
    long long value = 0;
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos ||
        !parseDecimal(text, value) || value < 1 || value > 65535) {
        return false;
    }
    port = int(value);
    return true;
}

}  // namespace

WhoisServerAddress parseWhoisServer(std::string_view text) {
    WhoisServerAddress address;
    std::string_view rest;
    if (text.starts_with('[')) {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || close == 1) return {};
        address.host = std::string(text.substr(1, close - 1));
        rest = text.substr(close + 1);
        if (!rest.empty() && (rest.front() != ':' || !isPort(rest.substr(1), address.port)))
            return {};
        return address;
    }
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        address.host = std::string(text);
    } else {
        if (text.find(':', colon + 1) != std::string_view::npos) return {};
        if (!isPort(text.substr(colon + 1), address.port)) return {};
        address.host = std::string(text.substr(0, colon));
    }
    // A host is one word: blanks or control bytes would end up in the resolver's hands.
    for (const char c : address.host) {
        if (static_cast<unsigned char>(c) <= ' ') return {};
    }
    return address;
}

bool isFreeDomainAnswer(std::string_view answer) {
    for (const auto phrase : kFreeAnswers) {
        if (answer.find(phrase) != std::string_view::npos) return true;
    }
    return false;
}

TWhoIs::TWhoIs(WhoisTransport& transport)
    : transport_(transport), self_(std::make_shared<TWhoIs*>(this)) {}

TWhoIs::~TWhoIs() {
    self_.reset();
    if (exchange_) exchange_->abort();
}

void TWhoIs::Lookup() {
    if (exchange_) return;
    aborted_ = false;
    const WhoisServerAddress server = parseWhoisServer(ServerName);
    WhoisRequest request;
    request.host = server.host;
    request.port = server.port;
    request.query = Domain;
    request.waitLimit = std::chrono::milliseconds(TimeOut > 0 ? TimeOut : kDefaultTimeOut);
    std::weak_ptr<TWhoIs*> weak = self_;
    exchange_ = transport_.start(std::move(request), [weak](WhoisResult result) {
        if (const auto self = weak.lock()) (*self)->finish(result);
    });
}

void TWhoIs::Abort() {
    if (!exchange_) return;
    aborted_ = true;
    exchange_->abort();
}

void TWhoIs::finish(const WhoisResult& result) {
    const bool answered = result.completed && !aborted_;
    exchange_.reset();
    // Nothing of the component is touched after the event: its handler may release it.
    auto handler = OnDoneEvent;
    if (!handler) return;
    if (answered) {
        handler(*this, !isFreeDomainAnswer(result.answer), result.answer);
    } else {
        handler(*this, false, kErrorResult);
    }
}

}  // namespace vantrel
