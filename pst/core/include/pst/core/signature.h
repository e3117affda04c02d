#pragma once
// Page and block signature ([MS-PST] 5.5): the 16-bit fold of ib XOR bid.
#include <cstdint>

namespace pst::core {

constexpr uint16_t computeSignature(uint64_t ib, uint64_t bid) {
    const uint64_t x = ib ^ bid;
    return static_cast<uint16_t>(((x >> 16) ^ x) & 0xFFFF);
}

}  // namespace pst::core
