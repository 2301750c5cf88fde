#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/byte_block.h"

namespace vantrel {

// A text with its ASCII letters in upper case, made once so that every matcher that asks about
// it compares plain bytes. Zero bytes pad it on both sides, enough that a block may be read from
// any place within the text, or ending at any place within it; a pattern without zero bytes never
// matches the padding. Short texts stay on the stack.
class FoldedText {
  public:
    static constexpr size_t kPadding = 2 * kBlockBytes;

    explicit FoldedText(std::string_view text);
    FoldedText(const FoldedText&) = delete;
    FoldedText& operator=(const FoldedText&) = delete;

    // The folded bytes; kPadding zero bytes lie before and after them.
    const char* data() const { return data_; }
    size_t size() const { return size_; }
    std::string_view view() const { return {data_, size_}; }

  private:
    static constexpr size_t kInlineBytes = 512;

    char inline_[kInlineBytes];
    std::unique_ptr<char[]> heap_;
    const char* data_;
    size_t size_;
};

// Calls `found` with each place of `byte` in `text`, in order, until it returns true; whether it
// did. Sixteen bytes are compared at once; the padding lets the last block be read whole.
template <typename Found>
bool anyPlaceOf(const FoldedText& text, uint8_t byte, Found&& found) {
    for (size_t base = 0; base < text.size(); base += kBlockBytes) {
        SetBytes set(ByteBlock(loadBlock(text.data() + base) == byte));
        for (; !set.empty(); set.dropFirst()) {
            const size_t at = base + set.first();
            if (at >= text.size()) return false;
            if (found(at)) return true;
        }
    }
    return false;
}

}  // namespace vantrel
