#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/anchored_fragments.h"
#include "engine/domain_list.h"

namespace vantrel {

// The advertising test behind every kill decision: the blacklist, a table of advertising
// fragments and a table of exemptions, all matched as case-insensitive substrings of the URL.
class UrlClassifier {
  public:
    // The fixed tables, upper case, for whoever must give the same verdicts elsewhere; the vendor
    // server's address is no part of them.
    static std::span<const std::string_view> adFragments();
    static std::span<const std::string_view> exemptions();
    // Whether `text` holds one of the advertising fragments, in any letter case.
    static bool holdsAdFragment(std::string_view text);

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
    bool exemptLinear(std::string_view upperUrl) const;

    const DomainList& cleanList_;
    const DomainList& blackList_;
    std::string vendorServerIpUpper_;
    AnchoredFragments adFragments_;
    AnchoredFragments exemptions_;  // all but the vendor server's address
};

}  // namespace vantrel
