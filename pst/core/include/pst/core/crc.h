#pragma once
// The CRC of [MS-PST] 5.3: the CRC-32 table of polynomial 0xEDB88320, started at 0 and with
// no final inversion. (zlib's crc32 inverts at both ends; the two agree as
// pstCrc(x) == ~zlib_crc32(0xFFFFFFFF, x).) Headers, pages and blocks all use it, and so does
// the Name-to-ID map for string names.
#include <cstdint>
#include <span>

namespace pst::core {

uint32_t computeCrc(std::span<const uint8_t> bytes, uint32_t crc = 0);

}  // namespace pst::core
