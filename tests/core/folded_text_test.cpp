#include "engine/folded_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel {
namespace {

std::vector<size_t> placesOf(std::string_view text, uint8_t byte) {
    std::vector<size_t> places;
    anyPlaceOf(FoldedText(text), byte, [&](size_t at) {
        places.push_back(at);
        return false;
    });
    return places;
}

// Texts on both sides of the block size, the byte at every place, alone or twice: each place is
// found once and in order, and never a place in the padding past the text.
TEST(FoldedText, AnyPlaceOfFindsEachPlaceOnceInOrder) {
    for (size_t length = 0; length <= 40; ++length) {
        EXPECT_TRUE(placesOf(std::string(length, 'x'), '.').empty());
        EXPECT_TRUE(placesOf(std::string(length, 'x'), 0).empty()) << length;
        for (size_t at = 0; at < length; ++at) {
            std::string text(length, 'x');
            text[at] = '.';
            EXPECT_EQ(placesOf(text, '.'), std::vector<size_t>{at}) << length << " " << at;
            const size_t other = length - 1 - at;
            text[other] = '.';
            const std::vector<size_t> both =
                at == other ? std::vector<size_t>{at}
                            : std::vector<size_t>{std::min(at, other), std::max(at, other)};
            EXPECT_EQ(placesOf(text, '.'), both) << length << " " << at;
        }
    }
    size_t calls = 0;
    EXPECT_TRUE(anyPlaceOf(FoldedText("a.b.c"), '.', [&](size_t) { return ++calls == 1; }));
    EXPECT_EQ(calls, 1u);  // stops at the first true
}

}  // namespace
}  // namespace vantrel
