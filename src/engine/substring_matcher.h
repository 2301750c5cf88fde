#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/folded_text.h"

namespace vantrel {

// A multiset of byte patterns that answers whether any of them occurs in a text. Patterns and
// texts are compared byte for byte, except that ASCII letters match in either case (a pattern is
// stored in upper case). Empty patterns are never stored.
class SubstringMatcher {
  public:
    SubstringMatcher();
    ~SubstringMatcher();
    SubstringMatcher(SubstringMatcher&&) noexcept;
    SubstringMatcher& operator=(SubstringMatcher&&) noexcept;

    // Replaces the whole set at once (the cheap way to load a large list); the patterns are
    // copied.
    void assign(const std::vector<std::string_view>& patterns);
    void add(std::string_view pattern);
    // Removes one occurrence; a pattern that is not stored changes nothing.
    void remove(std::string_view pattern);
    void clear();
    size_t size() const;

    bool anyIn(std::string_view text) const;
    // The same for a text already folded, as a caller that asks several matchers does once.
    bool anyIn(const FoldedText& text) const;

  private:
    struct Impl;
    Impl* impl_;
};

}  // namespace vantrel
