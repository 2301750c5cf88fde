#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/whois.h"

namespace vantrel {

// The suffixes the finder tries, in order.
inline constexpr std::array<std::string_view, 7> kDomainSuffixes = {".com", ".net", ".org", ".info",
                                                                    ".biz", ".ws",  ".us"};

// Which WHOIS server is asked about each suffix. Each registry answers for its own names only,
// so every suffix has its own server by default.
struct WhoisServers {
    bool enabled = true;
    std::array<std::string, kDomainSuffixes.size()> bySuffix = {"whois.verisign-grs.com",
                                                                "whois.verisign-grs.com",
                                                                "whois.publicinterestregistry.org",
                                                                "whois.nic.info",
                                                                "whois.nic.biz",
                                                                "whois.website.ws",
                                                                "whois.nic.us"};
};

// The configuration value: missing gives the defaults, empty switches the finder off, one
// server ("host" or "host:port") is asked about every suffix, and "suffix=server" entries
// (blank- or comma-separated, later ones winning) replace single defaults.
WhoisServers parseWhoisServers(const std::optional<std::string>& value);

// Lower-cased, then every character but "_-", digits and a..z dropped.
std::string cleanLabel(std::string_view label);

// The domain labels made from first name F and last name L, cleaned: L, F-L, FL.
std::array<std::string, 3> candidateLabels(std::string_view first, std::string_view last);

// First and last word of the account's full name (the first comma-separated field), or nothing
// when it has fewer than two words or either word cleans to nothing.
struct PersonNames {
    std::string first;
    std::string last;
};
std::optional<PersonNames> namesFromFullName(std::string_view fullName);

// The lookups of every candidate domain, the free names in order of arrival and the counters.
// Lookups still running when the finder goes are abandoned: nothing reports any more.
class DomainFinder {
  public:
    static constexpr const char* kOtherResult = "Other";

    DomainFinder(WhoisTransport& transport, WhoisServers servers);

    // Forgets earlier results and starts a lookup per suffix and label of at least 2 characters.
    void StartDomainQueries(std::string_view first, std::string_view last);
    bool IsDomainFree(std::string_view name) const;

    const std::vector<std::string>& freeDomains() const { return free_; }
    int freeCount() const { return int(free_.size()); }
    int finishedCount() const { return finished_; }
    int startedCount() const { return int(lookups_.size()); }
    const std::array<std::string, 3>& labels() const { return labels_; }

    // Set by the dialog: a domain, "Other", or empty.
    std::string selectedResult;

  private:
    void TWhoIsQueryDone(TWhoIs& sender, bool isFound, const std::string& result);

    WhoisTransport& transport_;
    WhoisServers servers_;
    std::array<std::string, 3> labels_;
    std::vector<std::unique_ptr<TWhoIs>> lookups_;
    std::vector<std::string> free_;
    int finished_ = 0;
};

}  // namespace vantrel
