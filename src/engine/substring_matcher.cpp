#include "engine/substring_matcher.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace vantrel {

namespace {

constexpr uint32_t kNoPattern = UINT32_MAX;
constexpr uint32_t kRoot = 0;

// Cells of the dense transition table of one automaton (4 bytes each).
constexpr size_t kDenseCells = size_t(1) << 20;

// Aho-Corasick automaton over reversed patterns, scanned from the text's end. Domain names share
// their endings far more than their beginnings, so the reversed trie has about a third fewer
// states. States are numbered breadth first, which makes the children of every state a run of
// consecutive ids: a state needs no edge list, only the id of its first child and its own label.
// The shallow states, where a scan spends most of its steps, also get full transition rows over
// the bytes that occur in patterns (one class for all other bytes), with fail links resolved.
class Automaton {
  public:
    // `patterns` holds distinct, non-empty reversed patterns with their ids.
    void build(std::vector<std::pair<std::string, uint32_t>> patterns);

    // True when some pattern whose count is above zero occurs in `text`.
    bool anyIn(std::string_view text, const std::vector<uint32_t>& counts) const;

  private:
    void buildTrie(const std::vector<std::pair<std::string, uint32_t>>& patterns);
    void buildFailLinks();
    void buildDenseRows();

    uint32_t sparseChild(uint32_t state, uint8_t c) const {
        for (uint32_t s = childBegin_[state]; s < childBegin_[state + 1]; ++s) {
            if (label_[s] == c) return s;
        }
        return kRoot;
    }

    std::vector<uint32_t> childBegin_;  // children of s: [childBegin_[s], childBegin_[s + 1])
    std::vector<uint8_t> label_;        // byte on the edge into each state
    std::vector<uint32_t> fail_;
    std::vector<uint32_t> output_;       // pattern ending exactly here, or kNoPattern
    std::vector<uint32_t> firstOutput_;  // this or the nearest fail-chain state with an output
    std::array<uint8_t, 256> byteClass_{};
    size_t classes_ = 0;
    uint32_t denseStates_ = 0;  // states [0, denseStates_) have rows in dense_
    std::vector<uint32_t> dense_;
};

void Automaton::build(std::vector<std::pair<std::string, uint32_t>> patterns) {
    *this = Automaton();
    if (patterns.empty()) return;
    std::sort(patterns.begin(), patterns.end());
    buildTrie(patterns);
    buildFailLinks();
    buildDenseRows();
}

// Level by level: each state is the run of sorted patterns that share its prefix, and a run
// starts with the pattern that ends at the state, if any.
void Automaton::buildTrie(const std::vector<std::pair<std::string, uint32_t>>& patterns) {
    struct Run {
        uint32_t first, last;
    };
    std::vector<Run> level{{0, static_cast<uint32_t>(patterns.size())}};
    std::vector<Run> nextLevel;
    label_.push_back(0);
    output_.push_back(kNoPattern);
    for (size_t depth = 0; !level.empty(); ++depth) {
        nextLevel.clear();
        for (Run run : level) {
            childBegin_.push_back(static_cast<uint32_t>(label_.size()));
            uint32_t i = run.first;
            while (i < run.last && patterns[i].first.size() == depth) ++i;
            while (i < run.last) {
                const char c = patterns[i].first[depth];
                const uint32_t runFirst = i;
                while (i < run.last && patterns[i].first[depth] == c) ++i;
                label_.push_back(static_cast<uint8_t>(c));
                const bool endsHere = patterns[runFirst].first.size() == depth + 1;
                output_.push_back(endsHere ? patterns[runFirst].second : kNoPattern);
                nextLevel.push_back({runFirst, i});
            }
        }
        level.swap(nextLevel);
    }
    childBegin_.push_back(static_cast<uint32_t>(label_.size()));
}

// Breadth-first order means a state's fail target always has a smaller id.
void Automaton::buildFailLinks() {
    const auto states = static_cast<uint32_t>(label_.size());
    fail_.assign(states, kRoot);
    firstOutput_.assign(states, kRoot);
    for (uint32_t parent = 0; parent < states; ++parent) {
        for (uint32_t s = childBegin_[parent]; s < childBegin_[parent + 1]; ++s) {
            if (parent != kRoot) {
                uint32_t f = fail_[parent];
                uint32_t target = sparseChild(f, label_[s]);
                while (target == kRoot && f != kRoot) {
                    f = fail_[f];
                    target = sparseChild(f, label_[s]);
                }
                fail_[s] = target;
            }
            firstOutput_[s] = output_[s] != kNoPattern ? s : firstOutput_[fail_[s]];
        }
    }
}

void Automaton::buildDenseRows() {
    std::array<bool, 256> used{};
    for (size_t s = 1; s < label_.size(); ++s) used[label_[s]] = true;
    classes_ = 1;  // class 0: bytes that occur in no pattern
    for (size_t b = 0; b < 256; ++b) {
        if (used[b]) byteClass_[b] = static_cast<uint8_t>(classes_++);
    }
    denseStates_ = static_cast<uint32_t>(std::min(label_.size(), kDenseCells / classes_));
    dense_.assign(size_t(denseStates_) * classes_, kRoot);
    for (uint32_t s = 0; s < denseStates_; ++s) {
        uint32_t* row = dense_.data() + size_t(s) * classes_;
        if (s != kRoot) std::copy_n(dense_.data() + size_t(fail_[s]) * classes_, classes_, row);
        for (uint32_t c = childBegin_[s]; c < childBegin_[s + 1]; ++c)
            row[byteClass_[label_[c]]] = c;
    }
}

bool Automaton::anyIn(std::string_view text, const std::vector<uint32_t>& counts) const {
    if (label_.empty()) return false;
    uint32_t state = kRoot;
    for (size_t i = text.size(); i-- > 0;) {
        const auto c = static_cast<uint8_t>(text[i]);
        uint32_t next = kRoot;
        while (state >= denseStates_ && (next = sparseChild(state, c)) == kRoot)
            state = fail_[state];
        state = state >= denseStates_ ? next : dense_[size_t(state) * classes_ + byteClass_[c]];
        // Removed patterns stay in the automaton until the next rebuild; their count is zero.
        for (uint32_t s = firstOutput_[state]; s != kRoot; s = firstOutput_[fail_[s]]) {
            if (counts[output_[s]] > 0) return true;
        }
    }
    return false;
}

}  // namespace

// Every stored pattern has an id and a count; a removed pattern keeps both, its count zero, until
// the level that holds it is rebuilt, and is then forgotten (its id is reused).
//
// The patterns are spread over levels, each an automaton over its own ids, and a text is asked of
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
        Automaton automaton;

        bool hasLive() const { return ids.size() > dead; }
    };

    std::unordered_map<std::string, uint32_t> ids;
    std::vector<const std::string*> texts;  // by id; points at keys of `ids`, null when free
    std::vector<uint32_t> counts;           // by id
    std::vector<uint8_t> levelOf;           // by id
    std::vector<uint32_t> freeIds;
    std::vector<Level> levels = std::vector<Level>(1);
    size_t total = 0;

    static size_t capacity(size_t level) {
        size_t size = kFirstLevelSize;
        for (size_t k = 1; k < level; ++k) size *= kLevelGrowth;
        return size;
    }

    // The id of `pattern`, and whether the pattern is new to the matcher.
    std::pair<uint32_t, bool> idOf(std::string_view pattern) {
        auto [it, inserted] = ids.try_emplace(std::string(pattern), 0);
        if (inserted) {
            if (freeIds.empty()) {
                it->second = static_cast<uint32_t>(texts.size());
                texts.push_back(nullptr);
                counts.push_back(0);
                levelOf.push_back(0);
            } else {
                it->second = freeIds.back();
                freeIds.pop_back();
            }
            texts[it->second] = &it->first;
        }
        return {it->second, inserted};
    }

    // Empties the level; returns its live ids and forgets its dead ones.
    std::vector<uint32_t> takeLive(Level& level) {
        std::vector<uint32_t> live;
        live.reserve(level.ids.size() - level.dead);
        for (uint32_t id : level.ids) {
            if (counts[id] > 0) {
                live.push_back(id);
            } else {
                ids.erase(ids.find(*texts[id]));
                texts[id] = nullptr;
                freeIds.push_back(id);
            }
        }
        level = Level();
        return live;
    }

    void fill(size_t k, std::vector<uint32_t> which) {
        Level& level = levels[k];
        std::vector<std::pair<std::string, uint32_t>> reversed;
        reversed.reserve(which.size());
        for (uint32_t id : which) {
            levelOf[id] = static_cast<uint8_t>(k);
            reversed.emplace_back(std::string(texts[id]->rbegin(), texts[id]->rend()), id);
        }
        level.automaton.build(std::move(reversed));
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

void SubstringMatcher::assign(const std::vector<std::string>& patterns) {
    clear();
    Impl& m = *impl_;
    std::vector<uint32_t> loaded;
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
    auto it = m.ids.find(std::string(pattern));
    if (it == m.ids.end() || m.counts[it->second] == 0) return;
    --m.total;
    if (--m.counts[it->second] > 0) return;
    const size_t k = m.levelOf[it->second];
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

bool SubstringMatcher::anyIn(std::string_view text) const {
    for (const Impl::Level& level : impl_->levels) {
        if (level.hasLive() && level.automaton.anyIn(text, impl_->counts)) return true;
    }
    return false;
}

}  // namespace vantrel
