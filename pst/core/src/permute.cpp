#include "pst/core/permute.h"

#include <array>
#include <string>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZENTRA_PERMUTE_AVX2 1   // built for every x86-64, used where the processor has AVX2
#endif

#include "zentra/error.h"

namespace pst::core {
namespace {

// mpbbR of [MS-PST] 5.1 (encode).
constexpr std::array<uint8_t, 256> kEncode = {
    65,  54,  19,  98,  168, 33,  110, 187, 244, 22,  204, 4,   127, 100, 232, 93,
    30,  242, 203, 42,  116, 197, 94,  53,  210, 149, 71,  158, 150, 45,  154, 136,
    76,  125, 132, 63,  219, 172, 49,  182, 72,  95,  246, 196, 216, 57,  139, 231,
    35,  59,  56,  142, 200, 193, 223, 37,  177, 32,  165, 70,  96,  78,  156, 251,
    170, 211, 86,  81,  69,  124, 85,  0,   7,   201, 43,  157, 133, 155, 9,   160,
    143, 173, 179, 15,  99,  171, 137, 75,  215, 167, 21,  90,  113, 102, 66,  191,
    38,  74,  107, 152, 250, 234, 119, 83,  178, 112, 5,   44,  253, 89,  58,  134,
    126, 206, 6,   235, 130, 120, 87,  199, 141, 67,  175, 180, 28,  212, 91,  205,
    226, 233, 39,  79,  195, 8,   114, 128, 207, 176, 239, 245, 40,  109, 190, 48,
    77,  52,  146, 213, 14,  60,  34,  50,  229, 228, 249, 159, 194, 209, 10,  129,
    18,  225, 238, 145, 131, 118, 227, 151, 230, 97,  138, 23,  121, 164, 183, 220,
    144, 122, 92,  140, 2,   166, 202, 105, 222, 80,  26,  17,  147, 185, 82,  135,
    88,  252, 237, 29,  55,  73,  27,  106, 224, 41,  51,  153, 189, 108, 217, 148,
    243, 64,  84,  111, 240, 198, 115, 184, 214, 62,  101, 24,  68,  31,  221, 103,
    16,  241, 12,  25,  236, 174, 3,   161, 20,  123, 169, 11,  255, 248, 163, 192,
    162, 1,   247, 46,  188, 36,  104, 117, 13,  254, 186, 47,  181, 208, 218, 61,
};

// mpbbI of [MS-PST] 5.1 (decode).
constexpr std::array<uint8_t, 256> kDecode = {
    71,  241, 180, 230, 11,  106, 114, 72,  133, 78,  158, 235, 226, 248, 148, 83,
    224, 187, 160, 2,   232, 90,  9,   171, 219, 227, 186, 198, 124, 195, 16,  221,
    57,  5,   150, 48,  245, 55,  96,  130, 140, 201, 19,  74,  107, 29,  243, 251,
    143, 38,  151, 202, 145, 23,  1,   196, 50,  45,  110, 49,  149, 255, 217, 35,
    209, 0,   94,  121, 220, 68,  59,  26,  40,  197, 97,  87,  32,  144, 61,  131,
    185, 67,  190, 103, 210, 70,  66,  118, 192, 109, 91,  126, 178, 15,  22,  41,
    60,  169, 3,   84,  13,  218, 93,  223, 246, 183, 199, 98,  205, 141, 6,   211,
    105, 92,  134, 214, 20,  247, 165, 102, 117, 172, 177, 233, 69,  33,  112, 12,
    135, 159, 116, 164, 34,  76,  111, 191, 31,  86,  170, 46,  179, 120, 51,  80,
    176, 163, 146, 188, 207, 25,  28,  167, 99,  203, 30,  77,  62,  75,  27,  155,
    79,  231, 240, 238, 173, 58,  181, 89,  4,   234, 64,  85,  37,  81,  229, 122,
    137, 56,  104, 82,  123, 252, 39,  174, 215, 189, 250, 7,   244, 204, 142, 95,
    239, 53,  156, 132, 43,  21,  213, 119, 52,  73,  182, 18,  10,  127, 113, 136,
    253, 157, 24,  65,  125, 147, 216, 88,  44,  206, 254, 36,  175, 222, 184, 54,
    200, 161, 128, 166, 153, 152, 168, 47,  14,  129, 101, 115, 228, 194, 162, 138,
    212, 225, 17,  208, 8,   139, 42,  242, 237, 154, 100, 63,  193, 108, 249, 236,
};

#ifdef ZENTRA_PERMUTE_AVX2
// Every data block a store gets passes through here, some 3 KB per contact: with AVX2, 32 bytes
// per round instead of 8. The table is 16 rows of 16 bytes. A byte shuffle looks the low nibble
// of all 32 bytes up in one row at once; of the 16 rows' answers, a tree of byte blends keeps
// for each byte the one its high nibble names (bit 4 picks between row pairs, bit 5 between
// pairs of pairs, and so on; a blend follows bit 7 of its mask, so each bit is shifted there).
// Returns how many bytes it did (a multiple of 32); the caller does the rest.
__attribute__((target("avx2"))) size_t substituteWide(const uint8_t* in, uint8_t* out, size_t n,
                                                      const std::array<uint8_t, 256>& table) {
    __m256i rows[16];
    for (int r = 0; r < 16; ++r)
        rows[r] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data() + 16 * r)));
    const __m256i lowNibble = _mm256_set1_epi8(0x0F);
    size_t done = 0;
    for (; n - done >= 32; done += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + done));
        const __m256i low = _mm256_and_si256(x, lowNibble);
        // Shifting 16-bit lanes is enough: bit 7 of each byte comes from that byte's own bits.
        const __m256i bit4 = _mm256_slli_epi16(x, 3), bit5 = _mm256_slli_epi16(x, 2), bit6 = _mm256_slli_epi16(x, 1);
        __m256i picked[8];
        for (int r = 0; r < 8; ++r) {
            picked[r] = _mm256_blendv_epi8(_mm256_shuffle_epi8(rows[2 * r], low),
                                           _mm256_shuffle_epi8(rows[2 * r + 1], low), bit4);
        }
        for (int r = 0; r < 4; ++r) picked[r] = _mm256_blendv_epi8(picked[2 * r], picked[2 * r + 1], bit5);
        for (int r = 0; r < 2; ++r) picked[r] = _mm256_blendv_epi8(picked[2 * r], picked[2 * r + 1], bit6);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + done), _mm256_blendv_epi8(picked[0], picked[1], x));
    }
    return done;
}
#endif

// Eight independent look-ups per round where AVX2 is missing, and for the last bytes.
void substitute(const uint8_t* in, uint8_t* out, size_t n, const std::array<uint8_t, 256>& table) {
#ifdef ZENTRA_PERMUTE_AVX2
    if (n >= 32 && __builtin_cpu_supports("avx2")) {
        const size_t done = substituteWide(in, out, n, table);
        in += done, out += done, n -= done;
    }
#endif
    for (; n >= 8; n -= 8, in += 8, out += 8) {
        const uint8_t a = table[in[0]], b = table[in[1]], c = table[in[2]], d = table[in[3]];
        const uint8_t e = table[in[4]], f = table[in[5]], g = table[in[6]], h = table[in[7]];
        out[0] = a, out[1] = b, out[2] = c, out[3] = d, out[4] = e, out[5] = f, out[6] = g, out[7] = h;
    }
    for (; n > 0; --n, ++in, ++out) *out = table[*in];
}

}  // namespace

void encodePermute(std::span<uint8_t> bytes) { substitute(bytes.data(), bytes.data(), bytes.size(), kEncode); }
void decodePermute(std::span<uint8_t> bytes) { substitute(bytes.data(), bytes.data(), bytes.size(), kDecode); }

void encodePermute(std::span<const uint8_t> in, std::span<uint8_t> out) {
    if (out.size() != in.size())
        throw zentra::Error(zentra::kErrInvalidArgument, "permute encoding into " + std::to_string(out.size()) +
                                                             " bytes of " + std::to_string(in.size()));
    substitute(in.data(), out.data(), in.size(), kEncode);
}

std::span<const uint8_t, 256> permuteEncodeTable() { return kEncode; }
std::span<const uint8_t, 256> permuteDecodeTable() { return kDecode; }

}  // namespace pst::core
