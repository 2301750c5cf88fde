#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/byte_block.h"

namespace vantrel {

// A fixed table of short fragments, found in any letter case. Every fragment holds one of a few
// byte pairs, its anchors; the text is searched for the anchors sixteen bytes at a time, and only
// where one occurs are the fragments that hold it compared. The search sets bit 5 of every byte
// before comparing, which folds letter case and lets a few other bytes through as well (such as
// 0x10 for '0'); the comparison that follows is exact but for letter case. It takes the sixteen
// text bytes from where a fragment would start, folded to upper case, and compares every fragment
// that holds the anchor at that offset with them at once.
class AnchoredFragments {
  public:
    static constexpr size_t kMaxAnchors = 8;

    // `fragments` and `anchors` are upper case; every fragment must hold an anchor and be at most
    // sixteen bytes, and every anchor is two bytes.
    AnchoredFragments(std::span<const std::string_view> fragments,
                      std::span<const std::string_view> anchors);

    // Inline: each caller's call goes to one table's search, which keeps it predicted.
    bool anyIn(std::string_view text) const { return (this->*search_)(text); }

  private:
    struct Fragment {
        ByteBlock bytes;  // zeros after the fragment
        ByteBlock mask;   // 0xFF over the fragment
        size_t length;
    };
    // The fragments that hold their anchor `offset` bytes from their start.
    struct Group {
        size_t offset;
        std::vector<Fragment> fragments;
    };

    // The search for a table of `Anchors` anchors: its own code, with the anchors' loop unrolled
    // and its branches predicted apart from other tables'.
    template <size_t Anchors>
    bool anyInWith(std::string_view text) const;
    template <size_t Anchors>
    bool anchoredIn(std::string_view text, const char* block, size_t base, size_t skip) const;
    // Out of line: the search for anchors stays small enough to be inlined into its loop.
    [[gnu::noinline]] bool fragmentsIn(std::string_view text, ByteBlock first, ByteBlock second,
                                       size_t base, size_t skip) const;
    bool fragmentAt(const std::vector<Group>& groups, std::string_view text, size_t pair) const;

    // Each byte of the pair with bit 5 set, in every byte of a block.
    std::vector<std::array<ByteBlock, 2>> anchors_;
    std::vector<std::vector<Group>> groups_;                     // by anchor
    bool (AnchoredFragments::*search_)(std::string_view) const;  // anyInWith<anchors_.size()>
};

}  // namespace vantrel
