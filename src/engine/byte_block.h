#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vantrel {

// Sixteen bytes handled at once through the compiler's portable vector extension (SSE2 on
// x86-64, NEON on ARM). A comparison gives 0xFF in each byte that compares equal, 0 elsewhere.
inline constexpr size_t kBlockBytes = 16;
using ByteBlock = uint8_t __attribute__((vector_size(kBlockBytes)));

inline ByteBlock loadBlock(const void* at) {
    ByteBlock block;
    std::memcpy(&block, at, kBlockBytes);
    return block;
}

// The bytes set in a comparison's result, taken in order. Each set byte keeps its lowest bit only.
class SetBytes {
  public:
    static_assert(std::endian::native == std::endian::little, "byte order of the words");

    explicit SetBytes(ByteBlock mask) {
        std::memcpy(words_, &mask, sizeof words_);
        words_[0] &= kLowBits;
        words_[1] &= kLowBits;
    }
    bool empty() const { return (words_[0] | words_[1]) == 0; }
    // The index of the first set byte; only when not empty.
    size_t first() const {
        return words_[0] != 0 ? size_t(std::countr_zero(words_[0])) / 8
                              : 8 + size_t(std::countr_zero(words_[1])) / 8;
    }
    void dropFirst() {
        uint64_t& word = words_[0] != 0 ? words_[0] : words_[1];
        word &= word - 1;
    }

  private:
    static constexpr uint64_t kLowBits = 0x0101010101010101;
    uint64_t words_[2];
};

}  // namespace vantrel
