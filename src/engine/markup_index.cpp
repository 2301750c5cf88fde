#include "engine/markup_index.h"

#include <algorithm>
#include <cstring>

namespace vantrel {

namespace {

std::uint32_t loadTail(const char* bytes) {
    std::uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

unsigned filterBit(std::uint32_t key) {
    return unsigned((std::uint64_t(key) * 0x9E3779B97F4A7C15ull) >> 48);
}

void upperInPlace(char* begin, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const char c = begin[i];
        begin[i] = (c >= 'a' && c <= 'z') ? char(c - ('a' - 'A')) : c;
    }
}

size_t commonPrefix(std::string_view a, std::string_view b) {
    constexpr size_t kBlock = 4096;
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    while (i + kBlock <= n && std::memcmp(a.data() + i, b.data() + i, kBlock) == 0) i += kBlock;
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

size_t commonSuffix(std::string_view a, std::string_view b, size_t limit) {
    constexpr size_t kBlock = 4096;
    size_t i = 0;
    while (i + kBlock <= limit && std::memcmp(a.data() + a.size() - i - kBlock,
                                              b.data() + b.size() - i - kBlock, kBlock) == 0) {
        i += kBlock;
    }
    while (i < limit && a[a.size() - 1 - i] == b[b.size() - 1 - i]) ++i;
    return i;
}

}  // namespace

int MarkupIndex::addPattern(std::string_view upperNeedle) {
    if (upperNeedle.empty()) return -1;
    auto [it, added] = ids_.emplace(std::string(upperNeedle), int(needles_.size()));
    if (!added) return it->second;
    const int id = it->second;
    needles_.emplace_back(upperNeedle);
    occurrences_.emplace_back();
    if (upperNeedle.size() < kTail) {
        shortIds_.push_back(id);
    } else {
        const std::uint32_t key = loadTail(upperNeedle.data() + upperNeedle.size() - kTail);
        byTail_[key].push_back(id);
        tailFilter_[filterBit(key) / 64] |= 1ull << (filterBit(key) % 64);
        longestNeedle_ = std::max(longestNeedle_, upperNeedle.size());
    }
    if (hasText_) {
        // One plain search; the tail table serves later changes.
        const std::string& needle = needles_.back();
        for (size_t pos = upper_.find(needle); pos != npos; pos = upper_.find(needle, pos + 1)) {
            occurrences_[size_t(id)].push_back(pos);
        }
    }
    return id;
}

bool MarkupIndex::mayBeTail(std::uint32_t key) const {
    const unsigned bit = filterBit(key);
    return (tailFilter_[bit / 64] >> (bit % 64)) & 1u;
}

size_t MarkupIndex::find(int id, size_t from) const {
    if (id < 0) return npos;
    const auto& hits = occurrences_[size_t(id)];
    auto it = std::lower_bound(hits.begin(), hits.end(), from);
    return it == hits.end() ? npos : *it;
}

void MarkupIndex::update(std::string markup) {
    if (!hasText_) {
        raw_ = std::move(markup);
        upper_ = raw_;
        upperInPlace(upper_.data(), upper_.size());
        hasText_ = true;
        occurrences_ = scan(0, upper_.size());
        return;
    }
    const size_t prefix = commonPrefix(raw_, markup);
    if (prefix == raw_.size() && prefix == markup.size()) return;
    const size_t suffix = commonSuffix(raw_, markup, std::min(raw_.size(), markup.size()) - prefix);
    const size_t oldEnd = raw_.size() - suffix;
    const size_t newEnd = markup.size() - suffix;
    std::string changed = markup.substr(prefix, newEnd - prefix);
    upperInPlace(changed.data(), changed.size());
    upper_.replace(prefix, oldEnd - prefix, changed);
    raw_ = std::move(markup);
    applyChange(prefix, oldEnd, newEnd);
}

void MarkupIndex::applyChange(size_t changeStart, size_t oldEnd, size_t newEnd) {
    Hits found = scan(changeStart, newEnd);
    for (size_t id = 0; id < needles_.size(); ++id) {
        auto& hits = occurrences_[id];
        const size_t length = needles_[id].size();
        // Occurrences that overlap the changed span are gone; those after it move.
        const size_t firstTouched = changeStart + 1 > length ? changeStart + 1 - length : 0;
        auto lo = std::lower_bound(hits.begin(), hits.end(), firstTouched);
        auto hi = std::lower_bound(lo, hits.end(), oldEnd);
        lo = hits.erase(lo, hi);
        for (auto it = lo; it != hits.end(); ++it) *it = *it - oldEnd + newEnd;
        hits.insert(lo, found[id].begin(), found[id].end());
    }
}

MarkupIndex::Hits MarkupIndex::scan(size_t changeStart, size_t end) const {
    Hits hits(needles_.size());
    for (int id : shortIds_) scanShort(id, changeStart, end, hits[size_t(id)]);
    if (longestNeedle_ != 0) scanLong(changeStart, end, hits);
    return hits;
}

void MarkupIndex::scanShort(int id, size_t changeStart, size_t end,
                            std::vector<size_t>& hits) const {
    // A plain loop: short needles start with bytes as common as "/", where find's memchr for
    // the first byte stops at every one.
    const std::string& needle = needles_[size_t(id)];
    const size_t length = needle.size();
    if (upper_.size() < length) return;
    const size_t first = changeStart + 1 > length ? changeStart + 1 - length : 0;
    const size_t last = std::min(end, upper_.size() - length + 1);
    const char* text = upper_.data();
    const char lead = needle[0];
    for (size_t pos = first; pos < last; ++pos) {
        if (text[pos] == lead && std::memcmp(text + pos + 1, needle.data() + 1, length - 1) == 0) {
            hits.push_back(pos);
        }
    }
}

void MarkupIndex::scanLong(size_t changeStart, size_t end, Hits& hits) const {
    const size_t size = upper_.size();
    if (size < kTail) return;
    // A needle starting before `end` has its tail before end + longest - kTail.
    const size_t first = changeStart > kTail - 1 ? changeStart - (kTail - 1) : 0;
    const size_t last = std::min(size - kTail, end + longestNeedle_ - kTail);
    const char* text = upper_.data();
    for (size_t tail = first; tail <= last; ++tail) {
        const std::uint32_t key = loadTail(text + tail);
        if (!mayBeTail(key)) continue;
        const auto it = byTail_.find(key);
        if (it == byTail_.end()) continue;
        for (int id : it->second) {
            const std::string& needle = needles_[size_t(id)];
            if (tail + kTail < needle.size()) continue;
            const size_t start = tail + kTail - needle.size();
            if (start >= end) continue;
            if (std::memcmp(text + start, needle.data(), needle.size() - kTail) == 0) {
                hits[size_t(id)].push_back(start);
            }
        }
    }
}

}  // namespace vantrel
