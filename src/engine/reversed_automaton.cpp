#include "engine/reversed_automaton.h"

#include <algorithm>

namespace vantrel {
namespace {

constexpr uint32_t kRoot = 0;

// Cells of the dense transition table (4 bytes each).
constexpr size_t kDenseCells = size_t(1) << 20;

}  // namespace

uint32_t ReversedAutomaton::sparseChild(uint32_t state, uint8_t c) const {
    for (uint32_t s = childBegin_[state]; s < childBegin_[state + 1]; ++s) {
        if (label_[s] == c) return s;
    }
    return kRoot;
}

void ReversedAutomaton::build(std::vector<std::pair<std::string, uint32_t>> patterns) {
    *this = ReversedAutomaton();
    if (patterns.empty()) return;
    for (auto& p : patterns) std::reverse(p.first.begin(), p.first.end());
    std::sort(patterns.begin(), patterns.end());
    buildTrie(patterns);
    buildFailLinks();
    buildDenseRows();
}

// Level by level: each state is the run of sorted patterns that share its prefix, and a run
// starts with the pattern that ends at the state, if any.
void ReversedAutomaton::buildTrie(const std::vector<std::pair<std::string, uint32_t>>& reversed) {
    struct Run {
        uint32_t first, last;
    };
    std::vector<Run> level{{0, static_cast<uint32_t>(reversed.size())}};
    std::vector<Run> nextLevel;
    label_.push_back(0);
    output_.push_back(kNoPattern);
    for (size_t depth = 0; !level.empty(); ++depth) {
        nextLevel.clear();
        for (Run run : level) {
            childBegin_.push_back(static_cast<uint32_t>(label_.size()));
            uint32_t i = run.first;
            while (i < run.last && reversed[i].first.size() == depth) ++i;
            while (i < run.last) {
                const char c = reversed[i].first[depth];
                const uint32_t runFirst = i;
                while (i < run.last && reversed[i].first[depth] == c) ++i;
                label_.push_back(static_cast<uint8_t>(c));
                const bool endsHere = reversed[runFirst].first.size() == depth + 1;
                output_.push_back(endsHere ? reversed[runFirst].second : kNoPattern);
                nextLevel.push_back({runFirst, i});
            }
        }
        level.swap(nextLevel);
    }
    childBegin_.push_back(static_cast<uint32_t>(label_.size()));
}

// Breadth-first order means a state's fail target always has a smaller id.
void ReversedAutomaton::buildFailLinks() {
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

void ReversedAutomaton::buildDenseRows() {
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

bool ReversedAutomaton::anyIn(std::string_view upperText, const uint32_t* counts) const {
    if (label_.empty()) return false;
    uint32_t state = kRoot;
    for (size_t i = upperText.size(); i-- > 0;) {
        const auto c = static_cast<uint8_t>(upperText[i]);
        uint32_t next = kRoot;
        while (state >= denseStates_ && (next = sparseChild(state, c)) == kRoot)
            state = fail_[state];
        state = state >= denseStates_ ? next : dense_[size_t(state) * classes_ + byteClass_[c]];
        // Removed patterns stay in the automaton until the next rebuild; their count is zero.
        for (uint32_t s = firstOutput_[state]; s != kRoot; s = firstOutput_[fail_[s]]) {
            if (!counts || counts[output_[s]] > 0) return true;
        }
    }
    return false;
}

}  // namespace vantrel
