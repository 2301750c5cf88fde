#include "engine/anchored_fragments.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "engine/byte_block.h"

namespace vantrel {
namespace {

ByteBlock loadFolded(const char* at) {
    return loadBlock(at) | static_cast<uint8_t>(0x20);
}

// ASCII letters in upper case, every other byte as it is.
ByteBlock upperCase(ByteBlock bytes) {
    const auto lower = ByteBlock(ByteBlock(bytes - static_cast<uint8_t>('a')) < 26);
    return bytes ^ (lower & static_cast<uint8_t>(0x20));
}

// The sixteen bytes of `text` from `start`, zeros past its end.
ByteBlock textBlock(std::string_view text, size_t start) {
    if (start + kBlockBytes <= text.size()) return loadBlock(text.data() + start);
    uint8_t bytes[kBlockBytes] = {};
    std::memcpy(bytes, text.data() + start, text.size() - start);
    return loadBlock(bytes);
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
    groups_.resize(anchors.size());
    search_ = []<size_t... Anchors>(std::index_sequence<Anchors...>, size_t count) {
        constexpr std::array searches{&AnchoredFragments::anyInWith<Anchors>...};
        return searches[count];
    }
    (std::make_index_sequence<kMaxAnchors + 1>{}, anchors.size());
    for (std::string_view fragment : fragments) {
        if (fragment.size() > kBlockBytes)
            throw std::logic_error("fragment longer than a block: " + std::string(fragment));
        size_t anchor = 0;
        while (anchor < anchors.size() && fragment.find(anchors[anchor]) == std::string_view::npos)
            ++anchor;
        if (anchor == anchors.size())
            throw std::logic_error("fragment without an anchor: " + std::string(fragment));
        const size_t offset = fragment.find(anchors[anchor]);
        std::vector<Group>& groups = groups_[anchor];
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const Group& g) { return g.offset == offset; });
        if (group == groups.end()) group = groups.insert(groups.end(), Group{offset, {}});
        Fragment compared{{}, {}, fragment.size()};
        for (size_t k = 0; k < fragment.size(); ++k) {
            compared.bytes[k] = static_cast<uint8_t>(fragment[k]);
            compared.mask[k] = 0xFF;
        }
        group->fragments.push_back(compared);
    }
}

// A block's pairs end one byte after it, so a block is read where 17 bytes remain. The rest is
// read as the text's last 17 bytes, skipping the pairs already searched, or from a copy padded
// with zeros when the whole text is shorter.
template <size_t Anchors>
bool AnchoredFragments::anyInWith(std::string_view text) const {
    size_t pair = 0;
    for (; pair + kBlockBytes < text.size(); pair += kBlockBytes) {
        if (anchoredIn<Anchors>(text, text.data() + pair, pair, 0)) return true;
    }
    if (pair + 1 >= text.size()) return false;
    if (text.size() > kBlockBytes) {
        const size_t start = text.size() - kBlockBytes - 1;
        return anchoredIn<Anchors>(text, text.data() + start, start, pair - start);
    }
    char padded[kBlockBytes + 1] = {};
    text.copy(padded, kBlockBytes);
    return anchoredIn<Anchors>(text, padded, 0, 0);
}

// The pairs that start in the block read at `block` (the text's bytes from `base` on), but for
// the first `skip`. Most blocks hold no anchor.
template <size_t Anchors>
bool AnchoredFragments::anchoredIn(std::string_view text, const char* block, size_t base,
                                   size_t skip) const {
    const ByteBlock first = loadFolded(block);
    const ByteBlock second = loadFolded(block + 1);
    ByteBlock any{};
    for (size_t a = 0; a < Anchors; ++a)
        any |= ByteBlock((first == anchors_[a][0]) & (second == anchors_[a][1]));
    SetBytes anyHit(any);
    anyHit.dropBefore(skip);
    return !anyHit.empty() && fragmentsIn(text, first, second, base, skip);
}

// As anchoredIn, for a block with an anchor: each anchor's hits lead to its own fragments only.
bool AnchoredFragments::fragmentsIn(std::string_view text, ByteBlock first, ByteBlock second,
                                    size_t base, size_t skip) const {
    for (size_t a = 0; a < anchors_.size(); ++a) {
        SetBytes set(ByteBlock((first == anchors_[a][0]) & (second == anchors_[a][1])));
        for (set.dropBefore(skip); !set.empty(); set.dropFirst()) {
            const size_t at = base + set.first();
            if (at + 1 < text.size() && fragmentAt(groups_[a], text, at)) return true;
        }
    }
    return false;
}

// Any of `groups`' fragments whose anchor lies on the two bytes at `pair`.
bool AnchoredFragments::fragmentAt(const std::vector<Group>& groups, std::string_view text,
                                   size_t pair) const {
    for (const Group& group : groups) {
        if (group.offset > pair) continue;
        const size_t start = pair - group.offset;
        const ByteBlock window = upperCase(textBlock(text, start));
        for (const Fragment& f : group.fragments) {
            if (start + f.length <= text.size() &&
                SetBytes(ByteBlock(window != f.bytes) & f.mask).empty())
                return true;
        }
    }
    return false;
}

}  // namespace vantrel
