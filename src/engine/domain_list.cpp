#include "engine/domain_list.h"

#include <algorithm>
#include <stdexcept>

#include "common/text.h"

namespace vantrel {

std::string_view matchPattern(std::string_view entry) {
    if (entry.size() <= 3) return {};
    return domainPart(entry);
}

namespace {

bool isDomainOrSynced(std::string_view entry, std::string_view domain) {
    if (equalsNoCase(entry, domain)) return true;
    return entry.size() == domain.size() + kSyncedMark.size() &&
           entry.substr(domain.size()) == kSyncedMark &&
           equalsNoCase(entry.substr(0, domain.size()), domain);
}

// Files this program wrote are in order, and files sorted by bytes differ from the entry order
// only around the few bytes between the upper- and the lower-case letters ('_' mostly): either
// way the lines come in a few ascending runs. Merging neighbouring runs until one is left costs
// one comparison per line and merge level, far fewer than a sort.
void sortEntries(std::vector<std::string>& lines) {
    const auto less = [](const std::string& a, const std::string& b) { return entryLess(a, b); };
    std::vector<size_t> bounds{0};  // where each run starts, then the end
    for (size_t i = 1; i < lines.size(); ++i) {
        if (less(lines[i], lines[i - 1])) bounds.push_back(i);
    }
    bounds.push_back(lines.size());
    const auto at = [&](size_t index) { return lines.begin() + std::ptrdiff_t(index); };
    while (bounds.size() > 2) {
        std::vector<size_t> merged;
        size_t k = 0;
        for (; k + 2 < bounds.size(); k += 2) {
            std::inplace_merge(at(bounds[k]), at(bounds[k + 1]), at(bounds[k + 2]), less);
            merged.push_back(bounds[k]);
        }
        merged.insert(merged.end(), bounds.begin() + std::ptrdiff_t(k), bounds.end());
        bounds.swap(merged);
    }
}

}  // namespace

std::string_view domainPart(std::string_view entry) {
    return entry.substr(0, entry.find(':'));
}

std::string DomainOfUrl(std::string_view text) {
    if (const size_t at = text.find("//"); at != std::string_view::npos) text.remove_prefix(at + 2);
    text = text.substr(0, text.find('/'));
    text = text.substr(0, text.find(':'));
    if (const size_t at = text.find("www."); at != std::string_view::npos)
        text.remove_prefix(at + 4);
    return std::string(text);
}

bool entryLess(std::string_view a, std::string_view b) {
    const int folded = compareNoCase(a, b);
    return folded != 0 ? folded < 0 : a < b;
}

size_t DomainList::insertSorted(std::string entry) {
    const auto at = std::upper_bound(
        entries_.begin(), entries_.end(), entry,
        [](const std::string& a, const std::string& b) { return entryLess(a, b); });
    const std::string pattern(matchPattern(entry));
    const auto inserted = entries_.insert(at, std::move(entry));
    if (!pattern.empty()) matcher_.add(pattern);
    listeners_.notify();
    return size_t(inserted - entries_.begin());
}

void DomainList::assign(std::vector<std::string> lines) {
    sortEntries(lines);
    // Views into the lines: the matcher keeps its own copy in one buffer.
    std::vector<std::string_view> patterns;
    patterns.reserve(lines.size());
    for (const auto& line : lines) {
        const std::string_view pattern = matchPattern(line);
        if (!pattern.empty()) patterns.push_back(pattern);
    }
    matcher_.assign(patterns);
    entries_ = std::move(lines);
    listeners_.notify();
}

void DomainList::replaceAt(size_t index, std::string entry) {
    std::string& slot = entries_.at(index);
    const std::string_view oldPattern = matchPattern(slot);
    const std::string_view newPattern = matchPattern(entry);
    if (!oldPattern.empty()) matcher_.remove(oldPattern);
    if (!newPattern.empty()) matcher_.add(newPattern);
    slot = std::move(entry);
    listeners_.notify();
}

void DomainList::removeAt(size_t index) {
    if (index >= entries_.size()) throw std::out_of_range("DomainList::removeAt");
    const std::string_view pattern = matchPattern(entries_[index]);
    if (!pattern.empty()) matcher_.remove(pattern);
    entries_.erase(entries_.begin() + std::ptrdiff_t(index));
    listeners_.notify();
}

void DomainList::clear() {
    entries_.clear();
    matcher_.clear();
    listeners_.notify();
}

bool DomainList::containsDomain(std::string_view domain) const {
    // A plain scan: a synced mark appended in place can leave an entry off its sorted position.
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const std::string& entry) { return isDomainOrSynced(entry, domain); });
}

bool DomainList::matches(std::string_view url) const {
    return matcher_.anyIn(url);
}

bool DomainList::matchesUpperLinear(std::string_view upperUrl) const {
    return std::any_of(entries_.begin(), entries_.end(), [&](const std::string& entry) {
        if (entry.size() <= 3) return false;
        const std::string_view domain = domainPart(entry);
        if (domain.empty()) return false;
        const auto found = std::search(
            upperUrl.begin(), upperUrl.end(), domain.begin(), domain.end(),
            [](char urlByte, char domainByte) { return urlByte == upperAscii(domainByte); });
        return found != upperUrl.end();
    });
}

}  // namespace vantrel
