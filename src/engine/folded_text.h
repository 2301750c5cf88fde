#pragma once

#include <cstddef>
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

}  // namespace vantrel
