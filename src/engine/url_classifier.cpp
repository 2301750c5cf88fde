#include "engine/url_classifier.h"

#include <algorithm>
#include <array>
#include <span>

#include "common/text.h"

namespace vantrel {
namespace {

// In test order, upper case.
constexpr std::array<std::string_view, 16> kAdFragments = {
    "BANNERS/", "/SMARTBANNER/", "/POP", "POPUP", "POP-UP", "/AD.", "/AD/", "/ADS/",
    "AD1",      "AD2",           "AD3",  "AD4",   "AD5",    "AD6",  "AD_",  "ADVERTISING",
};

// In test order, upper case; the vendor server's address goes after the first three.
constexpr size_t kVendorServerSlot = 3;
constexpr std::array<std::string_view, 16> kExemptions = {
    "TARNWICK",       "PAID_DONE", "PAID.PHP", "VANTREL",  "REMOVED",  "REMOVED_BANNER",
    "REMOVED_SIMPLE", "R300X250",  "R250X250", "R240X400", "R336X280", "R727X90",
    "R160X600",       "R120X600",  "R468X60",  "QUESSLY",
};

bool contains(std::string_view upperUrl, std::string_view fragment) {
    return upperUrl.find(fragment) != std::string_view::npos;
}

std::vector<std::string> toStrings(std::span<const std::string_view> table) {
    return {table.begin(), table.end()};
}

}  // namespace

UrlClassifier::UrlClassifier(const DomainList& cleanList, const DomainList& blackList,
                             std::string vendorServerIp)
    : cleanList_(cleanList), blackList_(blackList) {
    adFragments_.assign(toStrings(kAdFragments));
    setVendorServerIp(std::move(vendorServerIp));
}

void UrlClassifier::setVendorServerIp(std::string ip) {
    vendorServerIpUpper_ = toUpperAscii(ip);
    exemptions_.assign(toStrings(kExemptions));
    exemptions_.add(vendorServerIpUpper_);  // an empty address is not stored
}

bool UrlClassifier::CheckBannedUrl(std::string_view url) const {
    return banned<false>(url);
}
bool UrlClassifier::CheckBannedUrlLinear(std::string_view url) const {
    return banned<true>(url);
}

bool UrlClassifier::CheckExceptionList(std::string_view url) const {
    return allowedUpper<false>(toUpperAscii(url));
}
bool UrlClassifier::CheckExceptionListLinear(std::string_view url) const {
    return allowedUpper<true>(toUpperAscii(url));
}

template <bool Linear>
bool UrlClassifier::allowedUpper(std::string_view upperUrl) const {
    return Linear ? cleanList_.matchesUpperLinear(upperUrl) : cleanList_.matchesUpper(upperUrl);
}

bool UrlClassifier::exemptLinear(std::string_view upperUrl) const {
    for (size_t i = 0; i < kExemptions.size(); ++i) {
        if (i == kVendorServerSlot && !vendorServerIpUpper_.empty() &&
            contains(upperUrl, vendorServerIpUpper_))
            return true;
        if (contains(upperUrl, kExemptions[i])) return true;
    }
    return false;
}

// Every step only sets or clears one verdict, so the fast path may test in any order and stop
// early; the linear path keeps the documented order.
template <bool Linear>
bool UrlClassifier::banned(std::string_view url) const {
    const std::string upper = toUpperAscii(url);
    if (!contains(upper, "HTTP")) return false;
    if (allowedUpper<Linear>(upper)) return false;
    if constexpr (Linear) {
        bool verdict = blackList_.matchesUpperLinear(upper);
        if (std::any_of(kAdFragments.begin(), kAdFragments.end(),
                        [&](std::string_view f) { return contains(upper, f); }))
            verdict = true;
        if (exemptLinear(upper)) verdict = false;
        return verdict;
    } else {
        if (exemptions_.anyIn(upper)) return false;
        return adFragments_.anyIn(upper) || blackList_.matchesUpper(upper);
    }
}

}  // namespace vantrel
