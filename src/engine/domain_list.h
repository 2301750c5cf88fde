#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/change_listeners.h"
#include "engine/substring_matcher.h"

namespace vantrel {

// The synced mark that follows an entry the vendor's server already knows.
inline constexpr std::string_view kSyncedMark = ":1";

// The entry's domain part: its text up to, not including, its first ":".
std::string_view domainPart(std::string_view entry);

// The text by which an entry matches, or empty when it takes no part in matching.
std::string_view matchPattern(std::string_view entry);

// Reduces an address to its domain: after the first "//", before the next "/", before a ":",
// after the first lower-case "www."; letter case and blanks are kept.
std::string DomainOfUrl(std::string_view text);

// Entry order: ASCII case folding first, then plain bytes, so that the order is total and the
// same on every machine.
bool entryLess(std::string_view a, std::string_view b);

// A sorted list of domain entries with a matcher over their domain parts, kept current on every
// change. An entry takes part in matching only when its whole text is longer than 3 characters
// and its domain part is not empty.
class DomainList {
  public:
    const std::vector<std::string>& entries() const { return entries_; }
    size_t size() const { return entries_.size(); }
    const std::string& at(size_t index) const { return entries_.at(index); }
    // Runs `listener` after every change of the list (each add, edit, removal and load), so that
    // what is made from it elsewhere (the browser's rules) can follow.
    [[nodiscard]] ChangeListeners::Subscription listen(std::function<void()> listener) const {
        return listeners_.listen(std::move(listener));
    }

    // Inserts at the sorted place and returns the index.
    size_t insertSorted(std::string entry);
    // Replaces the whole list by these lines, sorted (one bulk step; cheap for large files).
    void assign(std::vector<std::string> lines);
    // Changes the entry's text and leaves it at its index.
    void replaceAt(size_t index, std::string entry);
    void removeAt(size_t index);
    void clear();

    // An entry equal to `domain`, or to `domain` + ":1", in any letter case.
    bool containsDomain(std::string_view domain) const;

    // True when some matching entry's domain part occurs in `url`, in any letter case.
    bool matches(std::string_view url) const;
    bool matches(const FoldedText& url) const { return matcher_.anyIn(url); }
    // The same answer by a plain scan over every entry, in list order.
    bool matchesUpperLinear(std::string_view upperUrl) const;

  private:
    std::vector<std::string> entries_;
    SubstringMatcher matcher_;
    ChangeListeners listeners_;
};

}  // namespace vantrel
