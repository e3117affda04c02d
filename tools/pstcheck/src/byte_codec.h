#pragma once
// Little-endian integer reads, the [MS-PST] CRC and the permutative decoding (NDB_CRYPT_PERMUTE).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pstcheck/codec.h"

namespace pstcheck {

using Bytes = std::span<const uint8_t>;

inline bool fits(Bytes b, size_t off, size_t n) { return off <= b.size() && n <= b.size() - off; }

inline uint8_t u8(Bytes b, size_t off) { return b[off]; }
inline uint16_t u16(Bytes b, size_t off) {
    return static_cast<uint16_t>(b[off] | (b[off + 1] << 8));
}
inline uint32_t u32(Bytes b, size_t off) {
    return static_cast<uint32_t>(b[off]) | (static_cast<uint32_t>(b[off + 1]) << 8) |
           (static_cast<uint32_t>(b[off + 2]) << 16) | (static_cast<uint32_t>(b[off + 3]) << 24);
}
inline uint64_t u64(Bytes b, size_t off) {
    return static_cast<uint64_t>(u32(b, off)) | (static_cast<uint64_t>(u32(b, off + 4)) << 32);
}
// Integer key of 1..8 bytes, as BTH keys compare.
inline uint64_t uKey(Bytes b, size_t off, size_t width) {
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i) v |= static_cast<uint64_t>(b[off + i]) << (8 * i);
    return v;
}

// [MS-PST] 5.5: signature of a page or block from its offset and id.
inline uint16_t computeSig(uint64_t ib, uint64_t bid) {
    uint64_t x = ib ^ bid;
    return static_cast<uint16_t>(((x >> 16) ^ x) & 0xFFFF);
}

}  // namespace pstcheck
