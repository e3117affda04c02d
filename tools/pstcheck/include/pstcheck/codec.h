#pragma once
// The two byte transforms [MS-PST] defines, exposed so tests can damage files and keep their
// checksums consistent where they mean to isolate one fault.
#include <cstdint>
#include <span>
#include <vector>

namespace pstcheck {

// CRC-32 of polynomial 0xEDB88320 started at 0 with no final inversion ([MS-PST] 5.3).
uint32_t pstCrc(std::span<const uint8_t> data);

// NDB_CRYPT_PERMUTE ([MS-PST] 5.1) in both directions.
std::vector<uint8_t> permuteDecode(std::span<const uint8_t> data);
std::vector<uint8_t> permuteEncode(std::span<const uint8_t> data);

}  // namespace pstcheck
