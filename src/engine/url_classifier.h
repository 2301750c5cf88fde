#pragma once

#include <string>
#include <string_view>

#include "engine/domain_list.h"
#include "engine/substring_matcher.h"

namespace vantrel {

// The advertising test behind every kill decision: the blacklist, a table of advertising
// fragments and a table of exemptions, all matched as case-insensitive substrings of the URL.
class UrlClassifier {
  public:
    // `vendorServerIp` empty leaves its exemption out.
    UrlClassifier(const DomainList& cleanList, const DomainList& blackList,
                  std::string vendorServerIp);

    bool CheckBannedUrl(std::string_view url) const;
    bool CheckExceptionList(std::string_view url) const;

    // The same answers by plain scans over both lists; the reference for the fast path.
    bool CheckBannedUrlLinear(std::string_view url) const;
    bool CheckExceptionListLinear(std::string_view url) const;

    void setVendorServerIp(std::string ip);

  private:
    template <bool Linear>
    bool banned(std::string_view url) const;
    template <bool Linear>
    bool allowedUpper(std::string_view upperUrl) const;
    bool exemptLinear(std::string_view upperUrl) const;

    const DomainList& cleanList_;
    const DomainList& blackList_;
    std::string vendorServerIpUpper_;
    // Both fragment tables in one automaton each, for the fast path.
    SubstringMatcher adFragments_;
    SubstringMatcher exemptions_;
};

}  // namespace vantrel
