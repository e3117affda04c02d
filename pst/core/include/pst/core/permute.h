#pragma once
// NDB_CRYPT_PERMUTE ([MS-PST] 5.1): a fixed byte substitution applied to the payload of
// external data blocks only. Encoding uses the first 256 bytes of the published table
// (mpbbR), decoding the last 256 (mpbbI); the two are inverse permutations.
#include <cstdint>
#include <span>

namespace pst::core {

void encodePermute(std::span<uint8_t> bytes);
void decodePermute(std::span<uint8_t> bytes);
// Encodes a copy: out (as long as in) receives in's bytes encoded, in one pass over them.
void encodePermute(std::span<const uint8_t> in, std::span<uint8_t> out);

// The raw tables, for tests that check they are inverse permutations of each other.
std::span<const uint8_t, 256> permuteEncodeTable();
std::span<const uint8_t, 256> permuteDecodeTable();

}  // namespace pst::core
