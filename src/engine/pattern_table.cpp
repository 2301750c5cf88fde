#include "engine/pattern_table.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/text.h"

namespace vantrel {

// Eight bytes at a time, each word mixed by a multiplication.
uint32_t PatternTable::hashOf(std::string_view upper) {
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
    uint64_t hash = upper.size() * kMultiplier;
    size_t at = 0;
    for (; at + 8 <= upper.size(); at += 8) {
        uint64_t word;
        std::memcpy(&word, upper.data() + at, sizeof word);
        hash = std::rotl((hash ^ word) * kMultiplier, 29);
    }
    uint64_t tail = 0;
    std::memcpy(&tail, upper.data() + at, upper.size() - at);
    hash = (hash ^ tail) * kMultiplier;
    return static_cast<uint32_t>((hash ^ (hash >> 29)) >> 16);
}

void PatternTable::reserve(size_t patterns, size_t bytes) {
    bytes_.reserve(bytes);
    places_.reserve(patterns);
    if (slots_.size() < 2 * patterns) grow(std::bit_ceil(2 * patterns));
}

size_t PatternTable::slotOf(std::string_view upper, uint32_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        if (slots_[i] == 0) return i;
        const uint32_t id = slots_[i] - 1;
        if (places_[id].hash == hash && text(id) == upper) return i;
    }
}

std::pair<uint32_t, bool> PatternTable::insert(std::string_view pattern) {
    if (2 * (count_ + 1) > slots_.size()) grow(std::max<size_t>(16, 2 * slots_.size()));
    // Written to the buffer first, so that it is compared in upper case; taken back if known.
    const size_t start = bytes_.size();
    bytes_.append(pattern);
    char* const written = bytes_.data() + start;
    for (size_t k = 0; k < pattern.size(); ++k) written[k] = upperAscii(written[k]);
    const std::string_view upper(written, pattern.size());
    const uint32_t hash = hashOf(upper);
    const size_t slot = slotOf(upper, hash);
    if (slots_[slot] != 0) {
        bytes_.resize(start);
        return {slots_[slot] - 1, false};
    }
    uint32_t id;
    if (freeIds_.empty()) {
        id = static_cast<uint32_t>(places_.size());
        places_.emplace_back();
    } else {
        id = freeIds_.back();
        freeIds_.pop_back();
    }
    places_[id] = {static_cast<uint32_t>(start), static_cast<uint32_t>(pattern.size()), hash};
    slots_[slot] = id + 1;
    ++count_;
    return {id, true};
}

uint32_t PatternTable::find(std::string_view pattern) const {
    if (slots_.empty()) return kNone;
    const std::string upper = toUpperAscii(pattern);
    const uint32_t slot = slots_[slotOf(upper, hashOf(upper))];
    return slot == 0 ? kNone : slot - 1;
}

// Linear probing without tombstones: the entries after the freed slot move back where their own
// probe sequence allows.
void PatternTable::erase(uint32_t id) {
    const size_t mask = slots_.size() - 1;
    size_t hole = slotOf(text(id), places_[id].hash);
    for (size_t i = (hole + 1) & mask; slots_[i] != 0; i = (i + 1) & mask) {
        const size_t home = places_[slots_[i] - 1].hash & mask;
        const bool stays = hole <= i ? (hole < home && home <= i) : (hole < home || home <= i);
        if (!stays) {
            slots_[hole] = slots_[i];
            hole = i;
        }
    }
    slots_[hole] = 0;
    erasedBytes_ += places_[id].length;
    places_[id] = {};
    freeIds_.push_back(id);
    --count_;
    if (erasedBytes_ > 4096 && 2 * erasedBytes_ > bytes_.size()) compact();
}

void PatternTable::grow(size_t slots) {
    std::vector<uint32_t> old(slots, 0);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const uint32_t slot : old) {
        if (slot == 0) continue;
        size_t i = places_[slot - 1].hash & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

// Patterns are never empty, so a place of length 0 is a free id.
void PatternTable::compact() {
    std::string kept;
    kept.reserve(bytes_.size() - erasedBytes_);
    for (Place& place : places_) {
        if (place.length == 0) continue;
        const auto offset = static_cast<uint32_t>(kept.size());
        kept.append(bytes_, place.offset, place.length);
        place.offset = offset;
    }
    bytes_.swap(kept);
    erasedBytes_ = 0;
}

}  // namespace vantrel
