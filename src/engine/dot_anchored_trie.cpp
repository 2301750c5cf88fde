#include "engine/dot_anchored_trie.h"

#include <algorithm>

#include "common/text.h"
#include "engine/byte_block.h"

namespace vantrel {
namespace {

constexpr uint32_t kRoot = 0;

// The key of a pattern is the part after its last dot, this byte, then the part before the dot
// reversed. A lower-case letter: no upper-case pattern holds it and no folded text byte equals it.
constexpr char kTurn = 't';

uint8_t folded(char c) {
    return static_cast<uint8_t>(upperAscii(c));
}

}  // namespace

void DotAnchoredTrie::build(const std::vector<std::pair<std::string_view, uint32_t>>& patterns) {
    *this = DotAnchoredTrie();
    if (patterns.empty()) return;
    // All keys in one buffer: one allocation, and sorting moves small records only.
    size_t bytes = 0;
    for (const auto& p : patterns) bytes += p.first.size();
    std::string buffer;
    buffer.reserve(bytes);
    std::vector<std::pair<std::string_view, uint32_t>> keys;
    keys.reserve(patterns.size());
    for (const auto& [pattern, id] : patterns) {
        const size_t dot = pattern.rfind('.');
        const size_t start = buffer.size();
        buffer.append(pattern.substr(dot + 1));
        buffer += kTurn;
        buffer.append(pattern.rbegin() + std::ptrdiff_t(pattern.size() - dot), pattern.rend());
        keys.emplace_back(std::string_view(buffer).substr(start), id);
    }
    std::sort(keys.begin(), keys.end());

    // Level by level, each node being the run of sorted keys that share its prefix. An edge runs
    // on while its keys agree, none ends and no turn comes, so the turn is an edge of its own.
    struct Run {
        uint32_t first, last, depth;
    };
    std::vector<Run> level{{0, static_cast<uint32_t>(keys.size()), 0}};
    std::vector<Run> nextLevel;
    nodes_.push_back({0, 0, 0, kNone});
    firstByte_.push_back(0);
    uint32_t node = 0;
    while (!level.empty()) {
        nextLevel.clear();
        for (const Run run : level) {
            nodes_[node].childBegin = static_cast<uint32_t>(nodes_.size());
            uint32_t i = run.first;
            if (keys[i].first.size() == run.depth) ++i;  // the key that ends here
            while (i < run.last) {
                const std::string_view first = keys[i].first;
                const char c = first[run.depth];
                const uint32_t groupFirst = i;
                while (i < run.last && keys[i].first[run.depth] == c) ++i;
                const std::string_view last = keys[i - 1].first;
                uint32_t end = run.depth + 1;
                while (c != kTurn && first.size() > end && last.size() > end &&
                       first[end] == last[end] && first[end] != kTurn)
                    ++end;
                const auto tail = static_cast<uint32_t>(pool_.size());
                pool_.insert(pool_.end(), first.begin() + run.depth + 1, first.begin() + end);
                const bool turn = c == kTurn;
                const bool ends = first.size() == end;
                if (turn) nodes_[node].value = static_cast<uint32_t>(nodes_.size());
                nodes_.push_back(
                    {0, tail, end - run.depth - 1, ends ? keys[groupFirst].second : kNone});
                firstByte_.push_back(static_cast<uint8_t>(c));
                nextLevel.push_back({groupFirst, i, end});
            }
            ++node;
        }
        level.swap(nextLevel);
    }
    nodes_.push_back({static_cast<uint32_t>(nodes_.size()), 0, 0, kNone});
    firstByte_.resize(firstByte_.size() + kBlockBytes);
    rootChild_.fill(kNone);
    for (uint32_t s = nodes_[kRoot].childBegin; s < nodes_[kRoot + 1].childBegin; ++s)
        rootChild_[firstByte_[s]] = s;
}

// The children's first bytes are compared sixteen at a time; firstByte_ is padded for the last.
uint32_t DotAnchoredTrie::child(uint32_t node, uint8_t c) const {
    const uint32_t end = nodes_[node + 1].childBegin;
    for (uint32_t s = nodes_[node].childBegin; s < end; s += kBlockBytes) {
        const SetBytes equal(ByteBlock(loadBlock(firstByte_.data() + s) == c));
        if (!equal.empty()) return s + equal.first() < end ? s + uint32_t(equal.first()) : kNone;
    }
    return kNone;
}

bool DotAnchoredTrie::anyIn(std::string_view text, const std::vector<uint32_t>& counts) const {
    if (nodes_.empty()) return false;
    for (size_t dot = text.find('.'); dot != std::string_view::npos;
         dot = text.find('.', dot + 1)) {
        if (matchesAtDot(text, dot, counts)) return true;
    }
    return false;
}

// Forward from the dot along the part after a pattern's last dot, turning back wherever one ends.
bool DotAnchoredTrie::matchesAtDot(std::string_view text, size_t dot,
                                   const std::vector<uint32_t>& counts) const {
    uint32_t node = kRoot;
    size_t at = dot + 1;
    for (;;) {
        const uint32_t turn = nodes_[node].value;
        if (turn != kNone && matchesBefore(turn, text, dot, counts)) return true;
        if (at == text.size()) return false;
        const uint8_t c = folded(text[at]);
        node = node == kRoot ? rootChild_[c] : child(node, c);
        if (node == kNone) return false;
        const Node& n = nodes_[node];
        if (n.tailLength > text.size() - at - 1) return false;
        for (uint32_t k = 0; k < n.tailLength; ++k) {
            if (folded(text[at + 1 + k]) != pool_[n.tail + k]) return false;
        }
        at += 1 + n.tailLength;
    }
}

// Backward from `end` (exclusive) along the reversed part before a pattern's last dot.
bool DotAnchoredTrie::matchesBefore(uint32_t node, std::string_view text, size_t end,
                                    const std::vector<uint32_t>& counts) const {
    for (;;) {
        // Removed patterns stay in the trie until the next rebuild; their count is zero.
        const uint32_t pattern = nodes_[node].value;
        if (pattern != kNone && counts[pattern] > 0) return true;
        if (end == 0) return false;
        node = child(node, folded(text[end - 1]));
        if (node == kNone) return false;
        const Node& n = nodes_[node];
        if (n.tailLength > end - 1) return false;
        for (uint32_t k = 0; k < n.tailLength; ++k) {
            if (folded(text[end - 2 - k]) != pool_[n.tail + k]) return false;
        }
        end -= 1 + n.tailLength;
    }
}

}  // namespace vantrel
