#include "engine/substring_matcher.h"

#include <algorithm>
#include <cstdint>

#include "engine/dot_anchored_trie.h"
#include "engine/pattern_table.h"
#include "engine/reversed_automaton.h"

namespace vantrel {

// Every stored pattern has an id and a count; a removed pattern keeps both, its count zero, until
// the level that holds it is rebuilt, and is then forgotten (its id is reused).
//
// The patterns are spread over levels, each a trie for the patterns with a dot and an automaton
// for those without, over its own ids, and a text is asked of
// every level that holds a live pattern. Level 0 is the loaded list: only `assign` builds it.
// Additions go to level 1, which is rebuilt on each one while it holds at most 64 patterns; when
// it overflows, it merges into level 2 (at most 512), which overflows into level 3 (4,096), and so
// on, eight times larger each. Levels above 0 hold only patterns added since the last `assign`, so
// the worst addition builds one automaton over at most those A patterns (the largest level
// reached, about log8(A / 64) levels up), whatever the size of the loaded list; the usual one
// rebuilds level 1 only, and over its life a pattern takes part in about 4 builds per level.
// A removal rebuilds its level, without the dead patterns, once they outnumber its live ones.
struct SubstringMatcher::Impl {
    static constexpr size_t kFirstLevelSize = 64;
    static constexpr size_t kLevelGrowth = 8;

    struct Level {
        std::vector<uint32_t> ids;
        size_t dead = 0;
        DotAnchoredTrie dotted;
        ReversedAutomaton plain;

        // A level without removed patterns needs no counts: reading them costs a cache miss on
        // every hit.
        bool anyIn(const FoldedText& text, const std::vector<uint32_t>& liveCounts) const {
            if (!hasLive()) return false;
            const uint32_t* counts = dead == 0 ? nullptr : liveCounts.data();
            return (!dotted.empty() && dotted.anyIn(text, counts)) ||
                   (!plain.empty() && plain.anyIn(text.view(), counts));
        }

        bool hasLive() const { return ids.size() > dead; }
    };

    PatternTable patterns;
    std::vector<uint32_t> counts;  // by id
    std::vector<uint8_t> levelOf;  // by id
    std::vector<Level> levels = std::vector<Level>(1);
    size_t total = 0;

    static size_t capacity(size_t level) {
        size_t size = kFirstLevelSize;
        for (size_t k = 1; k < level; ++k) size *= kLevelGrowth;
        return size;
    }

    // The id of `pattern`, and whether the pattern is new to the matcher.
    std::pair<uint32_t, bool> idOf(std::string_view pattern) {
        const auto found = patterns.insert(pattern);
        if (patterns.idLimit() > counts.size()) {
            counts.resize(patterns.idLimit(), 0);
            levelOf.resize(patterns.idLimit(), 0);
        }
        return found;
    }

    // Empties the level; returns its live ids and forgets its dead ones.
    std::vector<uint32_t> takeLive(Level& level) {
        std::vector<uint32_t> live;
        live.reserve(level.ids.size() - level.dead);
        for (uint32_t id : level.ids) {
            if (counts[id] > 0) {
                live.push_back(id);
            } else {
                patterns.erase(id);
            }
        }
        level = Level();
        return live;
    }

    void fill(size_t k, std::vector<uint32_t> which) {
        Level& level = levels[k];
        std::vector<std::pair<std::string_view, uint32_t>> dotted;
        std::vector<std::pair<std::string, uint32_t>> plain;
        for (uint32_t id : which) {
            levelOf[id] = static_cast<uint8_t>(k);
            const std::string_view text = patterns.text(id);
            if (text.find('.') != std::string_view::npos) {
                dotted.emplace_back(text, id);
            } else {
                plain.emplace_back(text, id);
            }
        }
        level.dotted.build(std::move(dotted));
        level.plain.build(std::move(plain));
        level.ids = std::move(which);
        level.dead = 0;
    }

    // Carries the new id up from level 1, with every level it passes, to the first that fits.
    void insertNew(uint32_t id) {
        std::vector<uint32_t> carry{id};
        for (size_t k = 1;; ++k) {
            if (k == levels.size()) levels.emplace_back();
            const std::vector<uint32_t> taken = takeLive(levels[k]);
            carry.insert(carry.end(), taken.begin(), taken.end());
            if (carry.size() <= capacity(k)) {
                fill(k, std::move(carry));
                return;
            }
        }
    }
};

SubstringMatcher::SubstringMatcher() : impl_(new Impl) {}
SubstringMatcher::~SubstringMatcher() {
    delete impl_;
}
SubstringMatcher::SubstringMatcher(SubstringMatcher&& other) noexcept : impl_(other.impl_) {
    other.impl_ = new Impl;
}
SubstringMatcher& SubstringMatcher::operator=(SubstringMatcher&& other) noexcept {
    std::swap(impl_, other.impl_);
    return *this;
}

void SubstringMatcher::assign(const std::vector<std::string_view>& patterns) {
    clear();
    Impl& m = *impl_;
    size_t bytes = 0;
    for (const auto& p : patterns) bytes += p.size();
    m.patterns.reserve(patterns.size(), bytes);
    std::vector<uint32_t> loaded;
    loaded.reserve(patterns.size());
    for (const auto& p : patterns) {
        if (p.empty()) continue;
        const auto [id, isNew] = m.idOf(p);
        if (isNew) loaded.push_back(id);
        ++m.counts[id];
        ++m.total;
    }
    m.fill(0, std::move(loaded));
}

void SubstringMatcher::add(std::string_view pattern) {
    if (pattern.empty()) return;
    Impl& m = *impl_;
    const auto [id, isNew] = m.idOf(pattern);
    ++m.total;
    if (++m.counts[id] > 1) return;
    if (isNew) {
        m.insertNew(id);
    } else {  // a removed pattern comes back; its level still has it
        --m.levels[m.levelOf[id]].dead;
    }
}

void SubstringMatcher::remove(std::string_view pattern) {
    Impl& m = *impl_;
    const uint32_t id = m.patterns.find(pattern);
    if (id == PatternTable::kNone || m.counts[id] == 0) return;
    --m.total;
    if (--m.counts[id] > 0) return;
    const size_t k = m.levelOf[id];
    Impl::Level& level = m.levels[k];
    ++level.dead;
    if (level.dead > level.ids.size() - level.dead) m.fill(k, m.takeLive(level));
}

void SubstringMatcher::clear() {
    delete impl_;
    impl_ = new Impl;
}

size_t SubstringMatcher::size() const {
    return impl_->total;
}

// An empty matcher, such as most users' allowed list, does not fold the text.
bool SubstringMatcher::anyIn(std::string_view text) const {
    return impl_->total != 0 && anyIn(FoldedText(text));
}

bool SubstringMatcher::anyIn(const FoldedText& text) const {
    if (impl_->total == 0) return false;
    for (const Impl::Level& level : impl_->levels) {
        if (level.anyIn(text, impl_->counts)) return true;
    }
    return false;
}

}  // namespace vantrel
