#pragma once
// Small helpers shared by the store reader's walk and its verification.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "pst/disk/layout.h"

namespace pst::readback::reader_util {

using namespace pst::disk;

constexpr int kMaxTreeDepth = 10;

inline std::string hex(uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

inline bool amapBit(const std::array<uint8_t, kPageDataSize>& bits, uint32_t unit) {
    return (bits[unit / 8] >> (7 - unit % 8)) & 1;
}

inline uint32_t longestZeroRun(const std::array<uint8_t, kPageDataSize>& bits) {
    uint32_t best = 0, run = 0;
    for (uint32_t u = 0; u < kAMapUnitsPerPage; ++u) {
        run = amapBit(bits, u) ? 0 : run + 1;
        best = std::max(best, run);
    }
    return std::min<uint32_t>(best, 255);
}

}  // namespace pst::readback::reader_util
