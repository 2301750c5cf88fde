#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantrel {

// The upper-case markup of a page with every occurrence of a set of needles, kept current as the
// page changes: each new markup is compared with the last one and only the span that differs is
// searched again. Turns "first occurrence at or after a position" into a binary search.
class MarkupIndex {
  public:
    static constexpr size_t npos = std::string::npos;

    // The needle's id; -1 for an empty needle, which never occurs. A needle added after the first
    // markup costs one search of the whole text; those added before share one pass.
    int addPattern(std::string_view upperNeedle);
    // The page's current markup, as read from the document (any letter case).
    void update(std::string markup);
    // 0-based position of the needle's first occurrence at or after `from`; npos when none.
    size_t find(int id, size_t from) const;
    const std::string& upperText() const { return upper_; }

  private:
    static constexpr size_t kTail = 4;  // needles this long are found by their last 4 bytes
    using Hits = std::vector<std::vector<size_t>>;

    // Occurrences of every needle that end after `changeStart` and start before `end`.
    Hits scan(size_t changeStart, size_t end) const;
    void scanShort(int id, size_t changeStart, size_t end, std::vector<size_t>& hits) const;
    void scanLong(size_t changeStart, size_t end, Hits& hits) const;
    void applyChange(size_t changeStart, size_t oldEnd, size_t newEnd);
    bool mayBeTail(std::uint32_t key) const;

    std::string raw_;
    std::string upper_;
    bool hasText_ = false;
    std::vector<std::string> needles_;
    std::unordered_map<std::string, int> ids_;
    Hits occurrences_;
    std::vector<int> shortIds_;
    std::unordered_map<std::uint32_t, std::vector<int>> byTail_;
    std::vector<std::uint64_t> tailFilter_ = std::vector<std::uint64_t>(1u << 10);  // 2^16 bits
    size_t longestNeedle_ = 0;
};

}  // namespace vantrel
