#include "engine/anchored_fragments.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace vantrel {
namespace {

// "AD1" and "ADS" share their anchor's place and differ in the byte after it; "XBA" ends with
// its anchor, whatever follows.
constexpr std::string_view kFragments[] = {"/AD.", "AD1", "ADS", "POP-UP", "/SMARTBANNER/",
                                           "R30X0", "XBA"};
constexpr std::string_view kAnchors[] = {"AD", "PO", "BA", "0X"};

// Each fragment, in both letter cases, at every offset of texts on both sides of the 16-byte
// blocks: the fragment may start before its anchor's block, end in the tail or fill the text.
TEST(AnchoredFragments, FindsEachFragmentAtEveryPlaceAndLength) {
    const AnchoredFragments table(kFragments, kAnchors);
    for (std::string_view fragment : kFragments) {
        std::string lower(fragment);
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const std::string& form : {std::string(fragment), lower}) {
            for (size_t length = form.size(); length <= 40; ++length) {
                for (size_t at = 0; at + form.size() <= length; ++at) {
                    std::string text(length, 'x');
                    text.replace(at, form.size(), form);
                    ASSERT_TRUE(table.anyIn(text)) << text;
                    text[at + form.size() - 1] = '#';  // cut the fragment's last byte
                    ASSERT_FALSE(table.anyIn(text)) << text;
                }
            }
        }
    }
}

TEST(AnchoredFragments, AnchorsAloneOrCutFragmentsAreNoHit) {
    const AnchoredFragments table(kFragments, kAnchors);
    EXPECT_FALSE(table.anyIn(""));
    EXPECT_FALSE(table.anyIn("A"));
    EXPECT_FALSE(table.anyIn("adpobaADPOBA/ad/pop-u/smartbanner"));
    EXPECT_FALSE(table.anyIn("AD"));
    EXPECT_TRUE(table.anyIn("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxAd1"));
    // Bytes that pass the search with bit 5 set but are not the fragment's bytes.
    EXPECT_FALSE(table.anyIn("/\xc1\xc4.xxxxxxxxxxxxxxxxxxxx/\xe1\xe4.\xe1\xc4\x31"));
    EXPECT_FALSE(table.anyIn("R3\x10X0 R3\x10x0 xxxxxxxxxxxxxxxxxxxxxxxxxxx R3\x10\x58\x10"));
    EXPECT_TRUE(table.anyIn("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxr30x0"));
    EXPECT_TRUE(table.anyIn(std::string("\0/aD.\0", 6)));
}

TEST(AnchoredFragments, RejectsTablesItCannotSearch) {
    constexpr std::string_view noAnchor[] = {"XYZ"};
    EXPECT_THROW(AnchoredFragments(noAnchor, kAnchors), std::logic_error);
    constexpr std::string_view notAPair[] = {"AD", "P"};
    EXPECT_THROW(AnchoredFragments(kFragments, notAPair), std::logic_error);
    constexpr std::string_view tooLong[] = {"ADVERTISEMENT-BOX"};
    EXPECT_THROW(AnchoredFragments(tooLong, kAnchors), std::logic_error);
    // The text's zero padding must never complete a fragment.
    constexpr std::string_view zeroByte[] = {std::string_view("AD\0", 3)};
    EXPECT_THROW(AnchoredFragments(zeroByte, kAnchors), std::logic_error);
    std::vector<std::string> sameAnchor;
    for (char c = 'A'; c <= 'Q'; ++c) sameAnchor.push_back(std::string("AD") + c);
    const std::vector<std::string_view> seventeen(sameAnchor.begin(), sameAnchor.end());
    EXPECT_THROW(AnchoredFragments(seventeen, kAnchors), std::logic_error);
}

}  // namespace
}  // namespace vantrel
