#include "engine/substring_matcher.h"

#include <algorithm>
#include <unordered_map>

namespace vantrel {

// Plain version: every stored pattern is searched for in turn.
struct SubstringMatcher::Impl {
    std::unordered_map<std::string, size_t> counts;
    size_t total = 0;
};

SubstringMatcher::SubstringMatcher() : impl_(new Impl) {}
SubstringMatcher::~SubstringMatcher() { delete impl_; }
SubstringMatcher::SubstringMatcher(SubstringMatcher&& other) noexcept : impl_(other.impl_) {
    other.impl_ = new Impl;
}
SubstringMatcher& SubstringMatcher::operator=(SubstringMatcher&& other) noexcept {
    std::swap(impl_, other.impl_);
    return *this;
}

void SubstringMatcher::assign(const std::vector<std::string>& patterns) {
    clear();
    for (const auto& p : patterns) add(p);
}

void SubstringMatcher::add(std::string_view pattern) {
    if (pattern.empty()) return;
    ++impl_->counts[std::string(pattern)];
    ++impl_->total;
}

void SubstringMatcher::remove(std::string_view pattern) {
    auto it = impl_->counts.find(std::string(pattern));
    if (it == impl_->counts.end()) return;
    if (--it->second == 0) impl_->counts.erase(it);
    --impl_->total;
}

void SubstringMatcher::clear() {
    impl_->counts.clear();
    impl_->total = 0;
}

size_t SubstringMatcher::size() const { return impl_->total; }

bool SubstringMatcher::anyIn(std::string_view text) const {
    return std::any_of(impl_->counts.begin(), impl_->counts.end(),
                       [&](const auto& kv) { return text.find(kv.first) != std::string_view::npos; });
}

}  // namespace vantrel
