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

// The last block, where the text ends, is read from a copy padded with zeros.
bool AnchoredFragments::anyIn(std::string_view text) const {
    for (size_t pair = 0; pair + 1 < text.size(); pair += kBlockBytes) {
        ByteBlock first;
        ByteBlock second;
        if (pair + kBlockBytes < text.size()) {
            first = loadFolded(text.data() + pair);
            second = loadFolded(text.data() + pair + 1);
        } else {
            char last[kBlockBytes + 1] = {};
            text.copy(last, kBlockBytes, pair);
            first = loadFolded(last);
            second = loadFolded(last + 1);
        }
        ByteBlock hits{};
        for (const auto& anchor : anchors_)
            hits |= ByteBlock((first == anchor[0]) & (second == anchor[1]));
        for (SetBytes set(hits); !set.empty(); set.dropFirst()) {
            const size_t at = pair + set.first();
            if (at + 1 < text.size() && fragmentAt(text, at)) return true;
        }
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
