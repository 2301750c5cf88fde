#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/byte_block.h"
#include "engine/folded_text.h"

namespace vantrel {

// A fixed table of short fragments, found in any letter case. Every fragment holds one of a few
// byte pairs, its anchors; the folded text is searched for the anchors sixteen bytes at a time,
// and only where one occurs are the fragments that hold it compared: all those that hold the
// anchor at the same offset at once, against the sixteen text bytes from where they would start.
// The text's zero padding lets every block be read whole, and no fragment or anchor holds a zero.
class AnchoredFragments {
  public:
    static constexpr size_t kMaxAnchors = 8;

    // `fragments` and `anchors` are upper case without zero bytes; every fragment must hold an
    // anchor and be at most sixteen bytes, every anchor is two bytes, and at most sixteen
    // fragments hold the same anchor at the same offset.
    AnchoredFragments(std::span<const std::string_view> fragments,
                      std::span<const std::string_view> anchors);

    // Inline: each caller's call goes to one table's search, which keeps it predicted.
    bool anyIn(const FoldedText& text) const { return (this->*search_)(text); }
    bool anyIn(std::string_view text) const { return anyIn(FoldedText(text)); }

  private:
    struct Fragment {
        ByteBlock bytes;  // zeros after the fragment
        ByteBlock mask;   // 0xFF over the fragment
    };
    // The fragments that hold their anchor `offset` bytes from their start, at most sixteen. The
    // byte after the anchor picks the ones worth comparing: bit k of `byNextByte[b]` is set when
    // fragment k has b there, or ends with the anchor.
    struct Group {
        size_t offset;
        std::vector<Fragment> fragments;
        std::array<uint16_t, 256> byNextByte{};
    };

    // The search for a table of `Anchors` anchors: its own code, with the anchors' loop unrolled
    // and its branches predicted apart from other tables'.
    template <size_t Anchors>
    bool anyInWith(const FoldedText& text) const;
    // Out of line: the search for anchors stays small enough to be inlined into its loop.
    [[gnu::noinline]] bool fragmentsIn(const char* text, ByteBlock first, ByteBlock second,
                                       size_t base) const;
    static bool fragmentAt(const std::vector<Group>& groups, const char* text, size_t pair);

    // Each byte of the pair, in every byte of a block.
    std::vector<std::array<ByteBlock, 2>> anchors_;
    std::vector<std::vector<Group>> groups_;                     // by anchor
    bool (AnchoredFragments::*search_)(const FoldedText&) const;  // anyInWith<anchors_.size()>
};

}  // namespace vantrel
