#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel {

// Aho-Corasick automaton over reversed patterns, scanned from the text's end; the text comes with
// its letters folded to upper case, as the patterns are. States are numbered breadth first, which makes the children of
// every state a run of consecutive ids: a state needs no edge list, only the id of its first child
// and its own label. The shallow states, where a scan spends most of its steps, also get full
// transition rows over the bytes that occur in patterns (one class for all other bytes), with
// fail links resolved.
class ReversedAutomaton {
  public:
    static constexpr uint32_t kNoPattern = UINT32_MAX;

    // `patterns` holds distinct, non-empty, upper-case patterns with their ids.
    void build(std::vector<std::pair<std::string, uint32_t>> patterns);
    bool empty() const { return label_.empty(); }

    // True when some pattern whose count is above zero occurs in `upperText`; `counts` is by
    // id, or null when every pattern here is live.
    bool anyIn(std::string_view upperText, const uint32_t* counts) const;

  private:
    void buildTrie(const std::vector<std::pair<std::string, uint32_t>>& reversed);
    void buildFailLinks();
    void buildDenseRows();
    uint32_t sparseChild(uint32_t state, uint8_t c) const;

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

}  // namespace vantrel
