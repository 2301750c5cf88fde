#include "engine/url_classifier.h"

#include <algorithm>
#include <array>

#include "common/text.h"

namespace vantrel {
namespace {

// In test order, upper case.
constexpr std::array<std::string_view, 16> kAdFragments = {
    "BANNERS/", "/SMARTBANNER/", "/POP", "POPUP", "POP-UP", "/AD.", "/AD/", "/ADS/",
    "AD1",      "AD2",           "AD3",  "AD4",   "AD5",    "AD6",  "AD_",  "ADVERTISING",
};

// Letter pairs that every advertising fragment holds one of ("AD", "POP", "BANNER"), searched
// for first.
constexpr std::array<std::string_view, 3> kAdAnchors = {"AD", "PO", "BA"};

// In test order, upper case; the vendor server's address goes after the first three.
constexpr size_t kVendorServerSlot = 3;
constexpr std::array<std::string_view, 16> kExemptions = {
    "TARNWICK",       "PAID_DONE", "PAID.PHP", "VANTREL",  "REMOVED",  "REMOVED_BANNER",
    "REMOVED_SIMPLE", "R300X250",  "R250X250", "R240X400", "R336X280", "R727X90",
    "R160X600",       "R120X600",  "R468X60",  "QUESSLY",
};

// Byte pairs that every exemption holds one of.
constexpr std::array<std::string_view, 8> kExemptionAnchors = {"RE", "RN", "AI", "UE",
                                                               "0X", "6X", "7X", "8X"};

bool contains(std::string_view upperUrl, std::string_view fragment) {
    return upperUrl.find(fragment) != std::string_view::npos;
}

// Nearly every URL starts with its scheme, so the start is tried before a search.
bool holdsHttp(std::string_view upperUrl) {
    return upperUrl.starts_with("HTTP") || contains(upperUrl, "HTTP");
}

}  // namespace

UrlClassifier::UrlClassifier(const DomainList& cleanList, const DomainList& blackList,
                             std::string vendorServerIp)
    : cleanList_(cleanList),
      blackList_(blackList),
      adFragments_(kAdFragments, kAdAnchors),
      exemptions_(kExemptions, kExemptionAnchors) {
    setVendorServerIp(std::move(vendorServerIp));
}

std::span<const std::string_view> UrlClassifier::adFragments() {
    return kAdFragments;
}
std::span<const std::string_view> UrlClassifier::exemptions() {
    return kExemptions;
}

bool UrlClassifier::holdsAdFragment(std::string_view text) {
    static const AnchoredFragments table(kAdFragments, kAdAnchors);
    return table.anyIn(text);
}

void UrlClassifier::setVendorServerIp(std::string ip) {
    vendorServerIpUpper_ = toUpperAscii(ip);
}

bool UrlClassifier::CheckExceptionList(std::string_view url) const {
    return cleanList_.matches(url);
}
bool UrlClassifier::CheckExceptionListLinear(std::string_view url) const {
    return cleanList_.matchesUpperLinear(toUpperAscii(url));
}

// Every step only sets or clears one verdict, so the fast path may test in any order and stop
// early: the exemptions and the allowed list can only clear a hit, so they wait for one. The URL
// is folded to upper case once for all of them.
bool UrlClassifier::CheckBannedUrl(std::string_view url) const {
    const FoldedText text(url);
    if (!holdsHttp(text.view())) return false;
    if (!adFragments_.anyIn(text) && !blackList_.matches(text)) return false;
    if (exemptions_.anyIn(text)) return false;
    if (!vendorServerIpUpper_.empty() && contains(text.view(), vendorServerIpUpper_)) return false;
    return !cleanList_.matches(text);
}

// The documented order, step by step.
bool UrlClassifier::CheckBannedUrlLinear(std::string_view url) const {
    const std::string upper = toUpperAscii(url);
    if (!contains(upper, "HTTP")) return false;
    if (cleanList_.matchesUpperLinear(upper)) return false;
    bool verdict = blackList_.matchesUpperLinear(upper);
    if (std::any_of(kAdFragments.begin(), kAdFragments.end(),
                    [&](std::string_view f) { return contains(upper, f); }))
        verdict = true;
    if (exemptLinear(upper)) verdict = false;
    return verdict;
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

}  // namespace vantrel
