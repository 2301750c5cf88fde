#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/folded_text.h"

namespace vantrel {

// Patterns that hold a '.', found through the text's dots. A pattern that occurs in the text lines
// its last dot up with one of the text's dots; so at each dot of the text it is enough to follow,
// in one trie, the text forward for the part after the pattern's last dot (mostly a top-level
// domain: a few hundred distinct ones) and then backward from the dot for the part before it.
// Neither walk needs fail links, and URLs hold few dots. Single-child chains are collapsed into
// one edge.
//
// The nodes lie depth first in one byte array, each holding the label of the edge into it (after
// the first byte), its children's first bytes and their places: a walk down the trie's sparse
// depths reads neighbouring bytes instead of a record, a label and a child list in three places.
// A label is kept in the text's order on both sides of the turn, so that it is compared with the
// text a block at a time.
class DotAnchoredTrie {
  public:
    static constexpr uint32_t kNone = UINT32_MAX;

    // `patterns` holds distinct upper-case patterns, each with a '.', and their ids.
    void build(std::vector<std::pair<std::string_view, uint32_t>> patterns);
    bool empty() const { return nodes_.empty(); }

    // True when some pattern whose count is above zero occurs in `text`; `counts` is by id, or
    // null when every pattern here is live.
    bool anyIn(const FoldedText& text, const uint32_t* counts) const;

  private:
    // The start of a node in nodes_; its label follows, then its children: their first bytes and
    // places (4 bytes each), or for a node with many children their places by byte class.
    struct Header {
        // Before the turn: the place of the node that turns back from here, or kNone. From the
        // turn on: the pattern that ends here, or kNone.
        uint32_t value;
        uint16_t labelLength;
        uint16_t children;
    };
    class Builder;

    Header header(uint32_t node) const;
    const uint8_t* label(uint32_t node) const { return nodes_.data() + node + sizeof(Header); }
    uint32_t child(uint32_t node, const Header& h, uint8_t c) const;
    bool matchesAtDot(const FoldedText& text, size_t dot, const uint32_t* counts) const;
    bool matchesBefore(uint32_t node, const char* text, size_t end, const uint32_t* counts) const;

    std::vector<uint8_t> nodes_;             // the root first; padded for block reads
    std::array<uint8_t, 256> byteClass_{};   // the columns of a node's full row of children
    std::array<uint32_t, 256> rootChild_{};  // every dot starts here: a row by byte
};

}  // namespace vantrel
