#include "engine/anchored_fragments.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <string>

#include "engine/byte_block.h"

namespace vantrel {

AnchoredFragments::AnchoredFragments(std::span<const std::string_view> fragments,
                                     std::span<const std::string_view> anchors) {
    if (anchors.size() > kMaxAnchors) throw std::logic_error("too many fragment anchors");
    for (std::string_view anchor : anchors) {
        if (anchor.size() != 2 || anchor.find('\0') != std::string_view::npos)
            throw std::logic_error("a fragment anchor is two bytes, not zero");
        anchors_.push_back({ByteBlock{} | static_cast<uint8_t>(anchor[0]),
                            ByteBlock{} | static_cast<uint8_t>(anchor[1])});
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
        if (fragment.find('\0') != std::string_view::npos)
            throw std::logic_error("fragment with a zero byte");
        size_t anchor = 0;
        while (anchor < anchors.size() && fragment.find(anchors[anchor]) == std::string_view::npos)
            ++anchor;
        if (anchor == anchors.size())
            throw std::logic_error("fragment without an anchor: " + std::string(fragment));
        const size_t offset = fragment.find(anchors[anchor]);
        std::vector<Group>& groups = groups_[anchor];
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const Group& g) { return g.offset == offset; });
        if (group == groups.end()) group = groups.insert(groups.end(), Group{offset, {}, {}});
        if (group->fragments.size() == kBlockBytes)
            throw std::logic_error("too many fragments share an anchor: " + std::string(fragment));
        const auto bit = static_cast<uint16_t>(1U << group->fragments.size());
        const size_t next = offset + anchors[anchor].size();
        if (next < fragment.size()) {
            group->byNextByte[static_cast<uint8_t>(fragment[next])] |= bit;
        } else {
            for (uint16_t& fragmentsWithByte : group->byNextByte) fragmentsWithByte |= bit;
        }
        Fragment compared{};
        for (size_t k = 0; k < fragment.size(); ++k) {
            compared.bytes[k] = static_cast<uint8_t>(fragment[k]);
            compared.mask[k] = 0xFF;
        }
        group->fragments.push_back(compared);
    }
}

// Pairs that start at the text's last byte or later hold a padding zero, so they never match.
template <size_t Anchors>
bool AnchoredFragments::anyInWith(const FoldedText& text) const {
    for (size_t base = 0; base < text.size(); base += kBlockBytes) {
        const ByteBlock first = loadBlock(text.data() + base);
        const ByteBlock second = loadBlock(text.data() + base + 1);
        ByteBlock any{};
        for (size_t a = 0; a < Anchors; ++a)
            any |= ByteBlock((first == anchors_[a][0]) & (second == anchors_[a][1]));
        if (!SetBytes(any).empty() && fragmentsIn(text.data(), first, second, base)) return true;
    }
    return false;
}

// The block at `base` holds an anchor: each anchor's hits lead to its own fragments only.
bool AnchoredFragments::fragmentsIn(const char* text, ByteBlock first, ByteBlock second,
                                    size_t base) const {
    for (size_t a = 0; a < anchors_.size(); ++a) {
        SetBytes set(ByteBlock((first == anchors_[a][0]) & (second == anchors_[a][1])));
        for (; !set.empty(); set.dropFirst()) {
            if (fragmentAt(groups_[a], text, base + set.first())) return true;
        }
    }
    return false;
}

// Any of `groups`' fragments whose anchor lies on the two bytes at `pair`. A fragment that would
// run past the text's end meets its padding zeros.
bool AnchoredFragments::fragmentAt(const std::vector<Group>& groups, const char* text,
                                   size_t pair) {
    const auto next = static_cast<uint8_t>(text[pair + 2]);
    for (const Group& group : groups) {
        uint32_t candidates = group.byNextByte[next];
        if (candidates == 0 || group.offset > pair) continue;
        const ByteBlock window = loadBlock(text + pair - group.offset);
        for (; candidates != 0; candidates &= candidates - 1) {
            const Fragment& f = group.fragments[size_t(std::countr_zero(candidates))];
            if (SetBytes(ByteBlock(window != f.bytes) & f.mask).empty()) return true;
        }
    }
    return false;
}

}  // namespace vantrel
