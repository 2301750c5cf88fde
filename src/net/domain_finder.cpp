#include "net/domain_finder.h"

#include <algorithm>

namespace vantrel {

namespace {

constexpr std::string_view kLabelCharacters = "_-0123456789abcdefghijklmnopqrstuvwxyz";
constexpr size_t kShortestLookedUpLabel = 2;

bool isSeparator(char c) {
    return c == ' ' || c == ',' || c == '\t';
}

std::vector<std::string_view> words(std::string_view text, bool (*separator)(char)) {
    std::vector<std::string_view> out;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && separator(text[at])) ++at;
        const size_t start = at;
        while (at < text.size() && !separator(text[at])) ++at;
        if (at > start) out.push_back(text.substr(start, at - start));
    }
    return out;
}

}  // namespace

WhoisServers parseWhoisServers(const std::optional<std::string>& value) {
    WhoisServers servers;
    if (!value) return servers;
    const auto entries = words(*value, isSeparator);
    if (entries.empty()) {
        servers.enabled = false;
        return servers;
    }
    for (const auto entry : entries) {
        const size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            servers.bySuffix.fill(std::string(entry));
            continue;
        }
        std::string suffix(entry.substr(0, equals));
        if (!suffix.starts_with('.')) suffix.insert(0, ".");
        const auto known = std::find(kDomainSuffixes.begin(), kDomainSuffixes.end(), suffix);
        if (known != kDomainSuffixes.end() && equals + 1 < entry.size()) {
            servers.bySuffix[size_t(known - kDomainSuffixes.begin())] = entry.substr(equals + 1);
        }
    }
    return servers;
}

std::string cleanLabel(std::string_view label) {
    std::string out;
    for (char c : label) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (kLabelCharacters.find(c) != std::string_view::npos) out += c;
    }
    return out;
}

std::array<std::string, 3> candidateLabels(std::string_view first, std::string_view last) {
    const std::string f(first);
    const std::string l(last);
    return {cleanLabel(l), cleanLabel(f + "-" + l), cleanLabel(f + l)};
}

std::optional<PersonNames> namesFromFullName(std::string_view fullName) {
    const auto field = fullName.substr(0, fullName.find(','));
    const auto parts = words(field, [](char c) { return c == ' ' || c == '\t'; });
    if (parts.size() < 2) return std::nullopt;
    PersonNames names{std::string(parts.front()), std::string(parts.back())};
    if (cleanLabel(names.first).empty() || cleanLabel(names.last).empty()) return std::nullopt;
    return names;
}

DomainFinder::DomainFinder(WhoisTransport& transport, WhoisServers servers)
    : transport_(transport), servers_(std::move(servers)) {}

void DomainFinder::StartDomainQueries(std::string_view first, std::string_view last) {
    lookups_.clear();
    free_.clear();
    finished_ = 0;
    selectedResult.clear();
    labels_ = candidateLabels(first, last);
    if (!servers_.enabled) return;
    for (size_t suffix = 0; suffix < kDomainSuffixes.size(); ++suffix) {
        for (const auto& label : labels_) {
            if (label.size() < kShortestLookedUpLabel) continue;
            auto lookup = std::make_unique<TWhoIs>(transport_);
            lookup->Domain = label + std::string(kDomainSuffixes[suffix]);
            lookup->ServerName = servers_.bySuffix[suffix];
            lookup->OnDoneEvent = [this](TWhoIs& sender, bool isFound, const std::string& result) {
                TWhoIsQueryDone(sender, isFound, result);
            };
            lookups_.push_back(std::move(lookup));
        }
    }
    // Started only once all are listed, so a handler never meets a list that is still growing.
    for (const auto& lookup : lookups_) lookup->Lookup();
}

bool DomainFinder::IsDomainFree(std::string_view name) const {
    return std::find(free_.begin(), free_.end(), name) != free_.end();
}

void DomainFinder::TWhoIsQueryDone(TWhoIs& sender, bool isFound, const std::string& result) {
    if (!isFound && result != TWhoIs::kErrorResult) free_.push_back(sender.Domain);
    ++finished_;
}

}  // namespace vantrel
