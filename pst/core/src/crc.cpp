#include "pst/core/crc.h"

#include <array>

namespace pst::core {
namespace {

// The table is derived from the polynomial rather than typed in; the unit tests compare the
// result with zlib and with CRCs stored in Outlook-written files.
constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

}  // namespace

uint32_t computeCrc(std::span<const uint8_t> bytes, uint32_t crc) {
    for (uint8_t b : bytes) crc = kCrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace pst::core
