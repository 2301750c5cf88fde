#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The bytes set in a comparison's result, taken in order, as one bit each.
class SetBytes {
  public:
    explicit SetBytes(ByteBlock mask) {
#if defined(__SSE2__)
        bits_ = static_cast<uint32_t>(_mm_movemask_epi8(std::bit_cast<__m128i>(mask)));
#else
        for (size_t i = 0; i < kBlockBytes; ++i) bits_ |= uint32_t(mask[i] & 1U) << i;
#endif
    }
    bool empty() const {
        return bits_ == 0;
    }
    // The index of the first set byte; only when not empty.
    size_t first() const {
        return size_t(std::countr_zero(bits_));
    }
    void dropFirst() {
        bits_ &= bits_ - 1;
    }
    // Drops the first `count` bytes, set or not; `count` below kBlockBytes.
    void dropBefore(size_t count) {
        bits_ &= ~((uint32_t(1) << count) - 1);
    }

  private:
    uint32_t bits_ = 0;
};

}  // namespace vantrel
