#include "engine/dot_anchored_trie.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "engine/byte_block.h"

namespace vantrel {
namespace {

constexpr uint32_t kRoot = 0;

// The key of a pattern is the part after its last dot, this byte, then the part before the dot
// reversed. A lower-case letter: no upper-case pattern holds it and no folded text byte equals it.
constexpr char kTurn = 't';

// An edge longer than a label can say is split in two.
constexpr uint32_t kMaxLabel = UINT16_MAX;

// Up to this many children, a node lists their first bytes (one block to compare) and places; a
// node with more has a full row of places by byte class.
constexpr uint32_t kListedChildren = kBlockBytes;

uint32_t load32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void store32(uint8_t* at, uint32_t value) {
    std::memcpy(at, &value, sizeof value);
}

}  // namespace

// Writes the nodes depth first, each being the run of sorted keys that share its prefix. An edge
// runs on while its keys agree, none ends and no turn comes, so the turn is an edge of its own;
// the node it leads to comes first among the children, as every walk forward asks for it first.
class DotAnchoredTrie::Builder {
  public:
    Builder(const std::vector<std::pair<std::string_view, uint32_t>>& keys,
            const std::array<uint8_t, 256>& byteClass, size_t classes, std::vector<uint8_t>& nodes)
        : keys_(keys), byteClass_(byteClass), classes_(classes), nodes_(nodes) {}

    // The node for keys [first, last), which share their first `depth` bytes; the label of the
    // edge into it is the first key's bytes [labelBegin, depth), turned round `backward` of the
    // turn, where the keys run against the text.
    uint32_t write(uint32_t first, uint32_t last, uint32_t labelBegin, uint32_t depth,
                   bool backward) {
        const auto node = static_cast<uint32_t>(nodes_.size());
        Header header{kNone, static_cast<uint16_t>(depth - labelBegin), 0};
        uint32_t i = first;
        if (keys_[i].first.size() == depth) header.value = keys_[i++].second;
        const size_t groupsBegin = groups_.size();
        std::optional<Group> turn;
        while (i < last) {
            const std::string_view key = keys_[i].first;
            const char c = key[depth];
            const uint32_t groupFirst = i;
            while (i < last && keys_[i].first[depth] == c) ++i;
            const std::string_view lastKey = keys_[i - 1].first;
            uint32_t end = depth + 1;
            while (c != kTurn && key.size() > end && lastKey.size() > end &&
                   key[end] == lastKey[end] && key[end] != kTurn && end - depth <= kMaxLabel)
                ++end;
            if (c == kTurn) {
                turn = Group{groupFirst, i, end};
            } else {
                groups_.push_back({groupFirst, i, end});
            }
        }
        header.children = static_cast<uint16_t>(groups_.size() - groupsBegin);
        const bool listed = header.children <= kListedChildren;
        const size_t firstBytes = node + sizeof(Header) + header.labelLength;
        const size_t places = firstBytes + (listed ? header.children : 0);
        const size_t slots = listed ? header.children : classes_;
        nodes_.resize(places + slots * sizeof(uint32_t), 0xFF);  // kNone in every slot
        const char* const labelBytes = keys_[first].first.data() + labelBegin;
        uint8_t* const labelOut = nodes_.data() + node + sizeof(Header);
        if (backward) {
            std::reverse_copy(labelBytes, labelBytes + header.labelLength, labelOut);
        } else {
            std::memcpy(labelOut, labelBytes, header.labelLength);
        }
        if (listed) {
            for (size_t g = groupsBegin; g < groups_.size(); ++g)
                nodes_[firstBytes + (g - groupsBegin)] = firstByte(g, depth);
        }

        if (turn) header.value = write(turn->first, turn->last, depth + 1, turn->end, true);
        for (size_t g = groupsBegin; g < groups_.size(); ++g) {
            const size_t slot = listed ? g - groupsBegin : byteClass_[firstByte(g, depth)];
            const Group group = groups_[g];
            const uint32_t place = write(group.first, group.last, depth + 1, group.end, backward);
            store32(nodes_.data() + places + slot * sizeof(uint32_t), place);
        }
        groups_.resize(groupsBegin);
        std::memcpy(nodes_.data() + node, &header, sizeof header);
        return node;
    }

  private:
    struct Group {
        uint32_t first, last, end;
    };

    uint8_t firstByte(size_t group, uint32_t depth) const {
        return static_cast<uint8_t>(keys_[groups_[group].first].first[depth]);
    }

    const std::vector<std::pair<std::string_view, uint32_t>>& keys_;
    const std::array<uint8_t, 256>& byteClass_;
    size_t classes_;
    std::vector<uint8_t>& nodes_;
    std::vector<Group> groups_;  // of the nodes being written, their children in turn
};

void DotAnchoredTrie::build(std::vector<std::pair<std::string_view, uint32_t>> patterns) {
    *this = DotAnchoredTrie();
    if (patterns.empty()) return;
    // All keys in one buffer: one allocation, and sorting moves small records only. Each key
    // takes its pattern's place in `patterns` (a key is as long as its pattern, so the buffer
    // never moves).
    size_t bytes = 0;
    for (const auto& p : patterns) bytes += p.first.size();
    std::string buffer;
    buffer.reserve(bytes);
    std::vector<std::pair<std::string_view, uint32_t>>& keys = patterns;
    for (auto& [text, id] : keys) {
        const std::string_view pattern = text;
        const size_t dot = pattern.rfind('.');
        const size_t start = buffer.size();
        buffer.append(pattern.substr(dot + 1));
        buffer += kTurn;
        buffer.append(pattern.rbegin() + std::ptrdiff_t(pattern.size() - dot), pattern.rend());
        text = std::string_view(buffer).substr(start);
    }
    std::sort(keys.begin(), keys.end());

    // Class 0: the bytes that no key holds (the turn is in no row).
    std::array<bool, 256> used{};
    for (const char c : buffer) used[static_cast<uint8_t>(c)] = true;
    used[static_cast<uint8_t>(kTurn)] = false;
    size_t classes = 1;
    for (size_t b = 0; b < 256; ++b) {
        if (used[b]) byteClass_[b] = static_cast<uint8_t>(classes++);
    }

    nodes_.reserve(bytes + keys.size() * (sizeof(Header) + 5));
    Builder(keys, byteClass_, classes, nodes_)
        .write(0, static_cast<uint32_t>(keys.size()), 0, 0, false);
    nodes_.resize(nodes_.size() + kBlockBytes);
    nodes_.shrink_to_fit();
    const Header root = header(kRoot);
    for (size_t b = 0; b < 256; ++b) rootChild_[b] = child(kRoot, root, static_cast<uint8_t>(b));
}

DotAnchoredTrie::Header DotAnchoredTrie::header(uint32_t node) const {
    Header h;
    std::memcpy(&h, nodes_.data() + node, sizeof h);
    return h;
}

// A row is read at the byte's class. A list's first bytes are compared in one block; nodes_ is
// padded for it.
uint32_t DotAnchoredTrie::child(uint32_t node, const Header& h, uint8_t c) const {
    const uint8_t* table = label(node) + h.labelLength;
    if (h.children > kListedChildren) return load32(table + byteClass_[c] * sizeof(uint32_t));
    const SetBytes equal(ByteBlock(loadBlock(table) == c));
    if (equal.empty() || equal.first() >= h.children) return kNone;
    return load32(table + h.children + equal.first() * sizeof(uint32_t));
}

// Backward from `end` (exclusive) along the part before a pattern's last dot; `text` is padded
// before its start.
[[gnu::always_inline]] inline bool DotAnchoredTrie::matchesBefore(
    uint32_t node, const char* text, size_t end, const uint32_t* counts) const {
    const uint8_t* const bytes = reinterpret_cast<const uint8_t*>(text);
    Header h = header(node);
    for (;;) {
        // Removed patterns stay in the trie until the next rebuild; their count is zero.
        if (h.value != kNone && (!counts || counts[h.value] > 0)) return true;
        if (end == 0) return false;
        node = child(node, h, bytes[end - 1]);
        if (node == kNone) return false;
        h = header(node);
        if (h.labelLength > end - 1) return false;
        end -= 1 + h.labelLength;
        if (h.labelLength != 0 && !sameBytes(bytes + end, label(node), h.labelLength))
            return false;
    }
}

// Forward from the dot along the part after a pattern's last dot, turning back wherever one ends.
[[gnu::always_inline]] inline bool DotAnchoredTrie::matchesAtDot(
    const FoldedText& text, size_t dot, const uint32_t* counts) const {
    const uint8_t* const bytes = reinterpret_cast<const uint8_t*>(text.data());
    const size_t size = text.size();
    uint32_t node = kRoot;
    Header h = header(node);
    size_t at = dot + 1;
    for (;;) {
        if (h.value != kNone && matchesBefore(h.value, text.data(), dot, counts)) return true;
        if (at == size) return false;
        const uint8_t c = bytes[at];
        node = node == kRoot ? rootChild_[c] : child(node, h, c);
        if (node == kNone) return false;
        h = header(node);
        if (h.labelLength > size - at - 1) return false;
        if (h.labelLength != 0 && !sameBytes(bytes + at + 1, label(node), h.labelLength))
            return false;
        at += 1 + h.labelLength;
    }
}

bool DotAnchoredTrie::anyIn(const FoldedText& text, const uint32_t* counts) const {
    if (nodes_.empty()) return false;
    return anyPlaceOf(text, '.', [&](size_t dot) { return matchesAtDot(text, dot, counts); });
}

}  // namespace vantrel
