#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel {

// Distinct patterns, each in upper case, by a small id: their bytes one after another in one
// buffer, and an open-addressed hash index of their ids. Loading 100,000 patterns costs a few
// allocations instead of one or two per pattern. An erased pattern's id is handed out again; its
// bytes stay in the buffer until the erased ones outweigh the rest, which then moves up.
class PatternTable {
  public:
    static constexpr uint32_t kNone = UINT32_MAX;

    void reserve(size_t patterns, size_t bytes);
    // The id of `pattern` (not empty; letters folded to upper case), and whether it was added
    // just now.
    std::pair<uint32_t, bool> insert(std::string_view pattern);
    // The id of `pattern` (letters folded to upper case), or kNone.
    uint32_t find(std::string_view pattern) const;
    void erase(uint32_t id);
    // Valid until the next insert or erase.
    std::string_view text(uint32_t id) const {
        return std::string_view(bytes_).substr(places_[id].offset, places_[id].length);
    }
    // Ids are below this.
    size_t idLimit() const { return places_.size(); }

  private:
    struct Place {
        uint32_t offset;
        uint32_t length;  // 0 for a free id
        uint32_t hash;
    };

    static uint32_t hashOf(std::string_view upper);
    // The slot that holds `upper`, or the empty slot where it would go.
    size_t slotOf(std::string_view upper, uint32_t hash) const;
    // To `slots`, a power of two.
    void grow(size_t slots);
    void compact();

    std::string bytes_;
    std::vector<Place> places_;  // by id
    std::vector<uint32_t> freeIds_;
    std::vector<uint32_t> slots_;  // id + 1, or 0; a power of two in size, at most half full
    size_t count_ = 0;
    size_t erasedBytes_ = 0;
};

}  // namespace vantrel
