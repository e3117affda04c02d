#include "pst/core/crc.h"

#include <array>

namespace pst::core {
namespace {

// The tables are derived from the polynomial rather than typed in; the unit tests compare the
// result with zlib and with CRCs stored in Outlook-written files. Table 0 is the classic
// byte-at-a-time table; table k advances a byte through k more zero bytes, so eight bytes can
// be folded in with eight independent look-ups ("slicing by 8"). Every block written goes
// through here, so the CRC is a measurable part of an import.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CrcTables makeCrcTables() {
    CrcTables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (size_t k = 1; k < 8; ++k) t[k][i] = t[0][t[k - 1][i] & 0xFF] ^ (t[k - 1][i] >> 8);
    return t;
}

constexpr CrcTables kCrc = makeCrcTables();

}  // namespace

uint32_t computeCrc(std::span<const uint8_t> bytes, uint32_t crc) {
    const uint8_t* p = bytes.data();
    size_t n = bytes.size();
    while (n >= 8) {
        // Little-endian assembly by shifts, so the result does not depend on the host's byte order.
        const uint32_t lo = crc ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
        const uint32_t hi = uint32_t{p[4]} | uint32_t{p[5]} << 8 | uint32_t{p[6]} << 16 | uint32_t{p[7]} << 24;
        crc = kCrc[7][lo & 0xFF] ^ kCrc[6][(lo >> 8) & 0xFF] ^ kCrc[5][(lo >> 16) & 0xFF] ^ kCrc[4][lo >> 24] ^
              kCrc[3][hi & 0xFF] ^ kCrc[2][(hi >> 8) & 0xFF] ^ kCrc[1][(hi >> 16) & 0xFF] ^ kCrc[0][hi >> 24];
        p += 8;
        n -= 8;
    }
    for (; n > 0; --n, ++p) crc = kCrc[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace pst::core
