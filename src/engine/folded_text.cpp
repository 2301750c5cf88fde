#include "engine/folded_text.h"

#include <cstring>

namespace vantrel {

// Whole blocks are folded on the way in, the last one ending where the text ends; a text shorter
// than a block is copied first and folded in place, together with the zeros that follow it.
FoldedText::FoldedText(std::string_view text) : size_(text.size()) {
    const size_t bytes = kPadding + size_ + kPadding;
    char* buffer = inline_;
    if (bytes > kInlineBytes) {
        heap_ = std::make_unique_for_overwrite<char[]>(bytes);
        buffer = heap_.get();
    }
    char* const out = buffer + kPadding;
    std::memset(buffer, 0, kPadding);
    std::memset(out + size_, 0, kPadding);
    if (size_ < kBlockBytes) {
        if (size_ > 0) std::memcpy(out, text.data(), size_);
        storeBlock(out, upperCaseBlock(loadBlock(out)));
    } else {
        for (size_t at = 0; at + kBlockBytes < size_; at += kBlockBytes)
            storeBlock(out + at, upperCaseBlock(loadBlock(text.data() + at)));
        const size_t last = size_ - kBlockBytes;
        storeBlock(out + last, upperCaseBlock(loadBlock(text.data() + last)));
    }
    data_ = out;
}

}  // namespace vantrel
