#include "engine/substring_matcher.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <random>

namespace vantrel {
namespace {

TEST(SubstringMatcher, FindsPatternsAnywhereAndOnlyWhole) {
    SubstringMatcher m;
    m.assign({"ADS.EXAMPLE.COM", "TRACK", "Q"});
    EXPECT_TRUE(m.anyIn("HTTP://ADS.EXAMPLE.COM/"));
    EXPECT_TRUE(m.anyIn("HTTP://A.COM/?R=ADS.EXAMPLE.COM"));
    EXPECT_TRUE(m.anyIn("TRACK"));
    EXPECT_TRUE(m.anyIn("Q"));
    EXPECT_FALSE(m.anyIn("HTTP://DS.EXAMPLE.COM/TRAC"));
    EXPECT_FALSE(m.anyIn(""));
    EXPECT_TRUE(m.anyIn("http://ads.Example.com/"));  // letters in either case
    EXPECT_FALSE(m.anyIn("ads.example.con"));
}

TEST(SubstringMatcher, PatternsThatOverlapOrNestAreAllFound) {
    SubstringMatcher m;
    m.assign({"ABCD", "BC", "ABCE", "CDX"});
    EXPECT_TRUE(m.anyIn("ZBCZ"));  // inside the longer pattern's path
    EXPECT_TRUE(m.anyIn("ABCDX"));
    EXPECT_TRUE(m.anyIn("QCDX"));  // found only through a fail link
    EXPECT_FALSE(m.anyIn("ABDCE"));
}

// Patterns with dots are found through the text's dots: dots at either end of a pattern or of the
// text, several dots, a dotted pattern that is a prefix of another, lower-case patterns.
TEST(SubstringMatcher, DottedPatternsAtEveryDot) {
    SubstringMatcher m;
    m.assign({".", "x."});
    EXPECT_TRUE(m.anyIn("."));
    EXPECT_TRUE(m.anyIn("AB."));
    EXPECT_FALSE(m.anyIn("ABC"));
    m.assign({"ADS.", ".NET", "A.B.C", "EXAMPLE.CO", "my.example.com", "at.t"});
    EXPECT_TRUE(m.anyIn("WWW.ADS.COM"));
    EXPECT_TRUE(m.anyIn("ads."));
    EXPECT_TRUE(m.anyIn("x.net"));
    EXPECT_TRUE(m.anyIn("..a.b.c.."));
    EXPECT_TRUE(m.anyIn("HTTP://EXAMPLE.COM/"));  // the prefix of a longer top-level part
    EXPECT_TRUE(m.anyIn("HTTP://MY.EXAMPLE.COM.BR/"));
    EXPECT_TRUE(m.anyIn("//AT.T"));
    EXPECT_FALSE(m.anyIn("AD.S NET. A.BC EXAMPLE.C MY.EXAMPL AT.X"));
    EXPECT_FALSE(m.anyIn("NETADS"));
    EXPECT_FALSE(m.anyIn("A.B.D.EXAMPLE-CO"));
}

TEST(SubstringMatcher, EmptyPatternsAreNeverStored) {
    SubstringMatcher m;
    m.assign({"", "A", ""});
    m.add("");
    EXPECT_EQ(m.size(), 1u);
    EXPECT_FALSE(m.anyIn("B"));
    m.clear();
    EXPECT_EQ(m.size(), 0u);
    EXPECT_FALSE(m.anyIn("A"));
}

TEST(SubstringMatcher, CountsEveryCopyOfAPattern) {
    SubstringMatcher m;
    m.assign({"DUP", "DUP"});
    m.add("DUP");
    EXPECT_EQ(m.size(), 3u);
    m.remove("DUP");
    m.remove("DUP");
    EXPECT_TRUE(m.anyIn("A DUP"));
    m.remove("DUP");
    EXPECT_FALSE(m.anyIn("A DUP"));
    m.remove("DUP");  // no longer stored: nothing changes
    m.remove("NEVER");
    EXPECT_EQ(m.size(), 0u);
    m.add("DUP");
    EXPECT_TRUE(m.anyIn("A DUP"));
}

TEST(SubstringMatcher, RemovedPatternDoesNotHideAShorterLiveOne) {
    SubstringMatcher m;
    m.assign({"LONGAD", "AD"});
    m.remove("AD");
    EXPECT_FALSE(m.anyIn("XADX"));
    EXPECT_TRUE(m.anyIn("LONGAD"));
    m.remove("LONGAD");
    m.add("AD");
    EXPECT_TRUE(m.anyIn("LONGAD"));
}

TEST(SubstringMatcher, AssignReplacesEverythingAndMoveKeepsIt) {
    SubstringMatcher m;
    m.add("OLD");
    m.assign({"NEW"});
    EXPECT_FALSE(m.anyIn("OLD"));
    SubstringMatcher moved(std::move(m));
    EXPECT_TRUE(moved.anyIn("NEW"));
    SubstringMatcher other;
    other = std::move(moved);
    EXPECT_TRUE(other.anyIn("NEW"));
    EXPECT_EQ(other.size(), 1u);
}

TEST(SubstringMatcher, HandlesEveryByteValue) {
    SubstringMatcher m;
    m.assign({std::string("\0\xff", 2), "\x80"});
    EXPECT_TRUE(m.anyIn(std::string("a\0\xff", 3)));
    EXPECT_TRUE(m.anyIn("\x7f\x80"));
    EXPECT_FALSE(m.anyIn(std::string("\xff\0", 2)));
}

// A dotted pattern's node with a child for nearly every byte (more than one block of first
// bytes), and an edge longer than one node's label can hold.
TEST(SubstringMatcher, WideNodesAndVeryLongEdges) {
    std::vector<std::string> patterns;
    for (int b = 0; b < 256; ++b) {
        if (b != 0xC8) patterns.push_back(std::string(1, char(b)) + "X.COM");
    }
    const std::string longPart(70000, 'L');
    patterns.push_back(longPart + ".NET");
    SubstringMatcher m;
    m.assign(std::vector<std::string_view>(patterns.begin(), patterns.end()));
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(m.anyIn("Q" + std::string(1, char(b)) + "x.com/"), b != 0xC8) << b;
    }
    EXPECT_FALSE(m.anyIn("X.COM"));
    EXPECT_TRUE(m.anyIn("http://" + longPart + ".net"));
    EXPECT_FALSE(m.anyIn("http://" + longPart.substr(1) + ".net"));
    std::string changed = longPart + ".NET";
    changed[100] = 'M';  // beyond the first 65,535 bytes back from the dot
    EXPECT_FALSE(m.anyIn(changed));
}

// Edges are compared a block at a time: a wrong byte anywhere in an edge on either side of the dot
// is no hit, wherever the pattern lies in the text (up against its start or end, across blocks).
TEST(SubstringMatcher, EdgesAreComparedInEveryByte) {
    const std::string pattern = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123.ABCDEFGHIJKLMNOPQRSTUV";
    SubstringMatcher m;
    m.assign({pattern, "Q.A"});  // a second pattern splits the edges after the first byte
    for (size_t before : {0, 1, 15, 16, 17, 40}) {
        for (size_t after : {0, 1, 16, 33}) {
            std::string text = std::string(before, '-') + pattern + std::string(after, '-');
            for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            ASSERT_TRUE(m.anyIn(text)) << text;
            for (size_t k = 0; k < pattern.size(); ++k) {
                if (pattern[k] == '.') continue;
                std::string changed = text;
                changed[before + k] = '#';
                ASSERT_FALSE(m.anyIn(changed)) << changed;
            }
        }
    }
}

// A plain multiset model against which random operations are checked.
class Model {
  public:
    void add(const std::string& p) {
        if (!p.empty()) ++counts_[p];
    }
    void remove(const std::string& p) {
        auto it = counts_.find(p);
        if (it != counts_.end() && --it->second == 0) counts_.erase(it);
    }
    bool anyIn(const std::string& text) const {
        for (const auto& kv : counts_)
            if (text.find(kv.first) != std::string::npos) return true;
        return false;
    }
    size_t size() const {
        size_t n = 0;
        for (const auto& kv : counts_) n += kv.second;
        return n;
    }

  private:
    std::map<std::string, size_t> counts_;
};

std::string randomText(std::mt19937& rng, size_t maxLength) {
    static const char alphabet[] = "ABC.-";
    std::string s(rng() % (maxLength + 1), 'A');
    for (char& c : s) c = alphabet[rng() % 5];
    return s;
}

// Thousands of additions and removals push the matcher across its merge and rebuild points.
TEST(SubstringMatcher, AgreesWithPlainModelUnderRandomUpdates) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        std::mt19937 rng(seed);
        SubstringMatcher m;
        Model model;
        std::vector<std::string> initial;
        for (int i = 0; i < 200 * int(seed); ++i) initial.push_back(randomText(rng, 9) + "Z");
        m.assign(std::vector<std::string_view>(initial.begin(), initial.end()));
        for (const auto& p : initial) model.add(p);
        std::vector<std::string> stored = initial;
        for (int step = 0; step < 6000; ++step) {
            const auto op = rng() % 10;
            if (op < 4) {
                std::string p = randomText(rng, 7) + (rng() % 3 ? "Z" : "");
                m.add(p);
                model.add(p);
                if (!p.empty()) stored.push_back(p);
            } else if (op < 7 && !stored.empty()) {
                const size_t i = rng() % stored.size();
                m.remove(stored[i]);
                model.remove(stored[i]);
                stored.erase(stored.begin() + std::ptrdiff_t(i));
            } else {
                const std::string text = randomText(rng, 30) + (rng() % 2 ? "Z" : "");
                ASSERT_EQ(m.anyIn(text), model.anyIn(text)) << "seed " << seed << " text " << text;
            }
            ASSERT_EQ(m.size(), model.size());
        }
    }
}

// Enough distinct additions to overflow the small levels into ever larger ones, twice past 4,096,
// then removal of most of them so that every level is rebuilt without its dead patterns, then
// patterns both still remembered and already forgotten come back.
TEST(SubstringMatcher, AgreesWithPlainModelAcrossLevelMergesAndCompactions) {
    for (uint32_t seed = 11; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        SubstringMatcher m;
        Model model;
        std::vector<std::string> initial;
        for (int i = 0; i < 300; ++i) initial.push_back(randomText(rng, 8) + "Z");
        m.assign(std::vector<std::string_view>(initial.begin(), initial.end()));
        for (const auto& p : initial) model.add(p);
        const auto pattern = [&] { return randomText(rng, 8) + "AZ" + randomText(rng, 4) + "Q"; };
        const auto query = [&] {
            const std::string text = randomText(rng, 12) + "Z" + randomText(rng, 5) + "Q";
            ASSERT_EQ(m.anyIn(text), model.anyIn(text)) << "seed " << seed << " text " << text;
        };
        std::vector<std::string> stored = initial;
        for (int step = 0; step < 13000; ++step) {
            std::string p = pattern();
            m.add(p);
            model.add(p);
            ASSERT_TRUE(m.anyIn("X" + p + "X")) << p;
            stored.push_back(std::move(p));
            if (step % 8 == 0) {
                const size_t i = rng() % stored.size();
                m.remove(stored[i]);
                model.remove(stored[i]);
                ASSERT_EQ(m.anyIn(stored[i]), model.anyIn(stored[i])) << stored[i];
                stored.erase(stored.begin() + std::ptrdiff_t(i));
            }
            if (step % 32 == 0) query();
        }
        for (const auto& p : stored) ASSERT_TRUE(m.anyIn(p)) << p;
        std::shuffle(stored.begin(), stored.end(), rng);
        std::vector<std::string> removed;
        while (stored.size() > 100) {
            m.remove(stored.back());
            model.remove(stored.back());
            removed.push_back(std::move(stored.back()));
            stored.pop_back();
            if (stored.size() % 8 == 0) query();
        }
        for (const auto& p : removed) ASSERT_EQ(m.anyIn(p), model.anyIn(p)) << p;
        for (size_t i = 0; i < removed.size(); i += 3) {
            m.add(removed[i]);
            model.add(removed[i]);
            if (i % 8 == 0) query();
        }
        for (size_t i = 0; i < removed.size(); i += 3) ASSERT_TRUE(m.anyIn(removed[i]));
        ASSERT_EQ(m.size(), model.size());
        for (int i = 0; i < 500; ++i) query();
    }
}

}  // namespace
}  // namespace vantrel
