#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

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

inline void storeBlock(void* at, ByteBlock block) {
    std::memcpy(at, &block, kBlockBytes);
}

// ASCII letters in upper case, every other byte as it is.
inline ByteBlock upperCaseBlock(ByteBlock bytes) {
    const auto lower = ByteBlock(ByteBlock(bytes - static_cast<uint8_t>('a')) < 26);
    return bytes ^ (lower & static_cast<uint8_t>(0x20));
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
    // Keeps the first `count` bytes only; `count` at most kBlockBytes.
    void keepBefore(size_t count) {
        bits_ &= (uint32_t(1) << count) - 1;
    }

  private:
    uint32_t bits_ = 0;
};

// Whether the `length` bytes at `a` equal those at `b`, compared a block at a time: both may be
// read up to a block past their `length` bytes.
inline bool sameBytes(const void* a, const void* b, size_t length) {
    const auto* x = static_cast<const uint8_t*>(a);
    const auto* y = static_cast<const uint8_t*>(b);
    for (; length > kBlockBytes; length -= kBlockBytes, x += kBlockBytes, y += kBlockBytes) {
        if (!SetBytes(ByteBlock(loadBlock(x) != loadBlock(y))).empty()) return false;
    }
    SetBytes differ(ByteBlock(loadBlock(x) != loadBlock(y)));
    differ.keepBefore(length);
    return differ.empty();
}

}  // namespace vantrel
