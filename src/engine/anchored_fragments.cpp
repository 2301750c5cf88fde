#include "engine/anchored_fragments.h"

#include <stdexcept>
#include <string>

#include "common/text.h"
#include "engine/byte_block.h"

namespace vantrel {
namespace {

ByteBlock loadFolded(const char* at) {
    return loadBlock(at) | static_cast<uint8_t>(0x20);
}

}  // namespace

AnchoredFragments::AnchoredFragments(std::span<const std::string_view> fragments,
                                     std::span<const std::string_view> anchors) {
    if (anchors.size() > kMaxAnchors) throw std::logic_error("too many fragment anchors");
    for (std::string_view anchor : anchors) {
        if (anchor.size() != 2) throw std::logic_error("a fragment anchor is two bytes");
        anchors_.push_back({ByteBlock{} | static_cast<uint8_t>(anchor[0] | 0x20),
                            ByteBlock{} | static_cast<uint8_t>(anchor[1] | 0x20)});
    }
    candidates_.resize(anchors.size());
    for (std::string_view fragment : fragments) {
        size_t anchor = 0;
        while (anchor < anchors.size() && fragment.find(anchors[anchor]) == std::string_view::npos)
            ++anchor;
        if (anchor == anchors.size())
            throw std::logic_error("fragment without an anchor: " + std::string(fragment));
        candidates_[anchor].push_back({fragment, fragment.find(anchors[anchor])});
    }
}

// A block's pairs end one byte after it, so a block is read where 17 bytes remain. The rest is
// read as the text's last 17 bytes, skipping the pairs already searched, or from a copy padded
// with zeros when the whole text is shorter.
bool AnchoredFragments::anyIn(std::string_view text) const {
    size_t pair = 0;
    for (; pair + kBlockBytes < text.size(); pair += kBlockBytes) {
        if (anchoredIn(text, text.data() + pair, pair, 0)) return true;
    }
    if (pair + 1 >= text.size()) return false;
    if (text.size() > kBlockBytes) {
        const size_t start = text.size() - kBlockBytes - 1;
        return anchoredIn(text, text.data() + start, start, pair - start);
    }
    char padded[kBlockBytes + 1] = {};
    text.copy(padded, kBlockBytes);
    return anchoredIn(text, padded, 0, 0);
}

// The pairs that start in the block read at `block` (the text's bytes from `base` on), but for
// the first `skip`.
bool AnchoredFragments::anchoredIn(std::string_view text, const char* block, size_t base,
                                   size_t skip) const {
    const ByteBlock first = loadFolded(block);
    const ByteBlock second = loadFolded(block + 1);
    ByteBlock hits{};
    for (const auto& anchor : anchors_)
        hits |= ByteBlock((first == anchor[0]) & (second == anchor[1]));
    SetBytes set(hits);
    set.dropBefore(skip);
    for (; !set.empty(); set.dropFirst()) {
        const size_t at = base + set.first();
        if (at + 1 < text.size() && fragmentAt(text, at)) return true;
    }
    return false;
}

// Any fragment whose anchor lies on the two bytes at `pair`.
bool AnchoredFragments::fragmentAt(std::string_view text, size_t pair) const {
    const auto first = static_cast<uint8_t>(text[pair] | 0x20);
    const auto second = static_cast<uint8_t>(text[pair + 1] | 0x20);
    for (size_t a = 0; a < anchors_.size(); ++a) {
        if (anchors_[a][0][0] != first || anchors_[a][1][0] != second) continue;
        for (const Candidate& c : candidates_[a]) {
            if (c.offset > pair || pair - c.offset + c.fragment.size() > text.size()) continue;
            const char* at = text.data() + pair - c.offset;
            size_t k = 0;
            while (k < c.fragment.size() && upperAscii(at[k]) == c.fragment[k]) ++k;
            if (k == c.fragment.size()) return true;
        }
    }
    return false;
}

}  // namespace vantrel
