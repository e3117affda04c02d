// UTF-8 <-> UTF-16LE. Every string of every contact passes through writeUtf16le, so ASCII (nearly
// all of what contacts hold) is widened sixteen or eight bytes at a time where SSE2 is there.
#include "mapi/utf16.h"

#include "zentra/text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mapi {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;

uint16_t unitAt(std::span<const uint8_t> bytes, std::size_t i) {
    return static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

}  // namespace

uint8_t* writeUtf16le(uint8_t* o, std::string_view utf8) {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    const auto put = [&o](uint32_t unit) {
        o[0] = static_cast<uint8_t>(unit);
        o[1] = static_cast<uint8_t>(unit >> 8);
        o += 2;
    };
    const auto putCodePoint = [&put](uint32_t cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 | (cp >> 10));
            put(0xDC00 | (cp & 0x3FF));
        } else {
            put(cp);
        }
    };
    std::size_t i = 0;
    while (i < n) {
#if defined(__SSE2__)
        // Sixteen ASCII bytes interleaved with zero bytes are their UTF-16LE form.
        if (i + 16 <= n) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            if (_mm_movemask_epi8(bytes) == 0) {
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(bytes, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_unpackhi_epi8(bytes, zero));
                o += 32;
                i += 16;
                continue;
            }
        }
        // Most strings are shorter than sixteen bytes (names, numbers, address lines), or end in
        // fewer: eight ASCII bytes at a time for them.
        if (i + 8 <= n) {
            const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i));
            if ((_mm_movemask_epi8(bytes) & 0xFF) == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(bytes, _mm_setzero_si128()));
                o += 16;
                i += 8;
                continue;
            }
        }
#endif
        const unsigned char c = s[i];
        if (c < 0x80) {
            put(c);
            ++i;
            continue;
        }
        // Lead byte: sequence length and the smallest code point it may encode (no overlongs).
        std::size_t len;
        uint32_t cp, min;
        if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; min = 0x80; }
        else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; min = 0x800; }
        else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; min = 0x10000; }
        else { putCodePoint(kReplacement); ++i; continue; }
        std::size_t k = 1;
        while (k < len && i + k < n && (s[i + k] & 0xC0) == 0x80) {
            cp = (cp << 6) | (s[i + k] & 0x3F);
            ++k;
        }
        if (k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            // One replacement for the maximal broken prefix, then resynchronise after it.
            putCodePoint(kReplacement);
            i += k;
            continue;
        }
        putCodePoint(cp);
        i += len;
    }
    return o;
}

std::vector<uint8_t> utf16leFromUtf8(std::string_view utf8) {
    std::vector<uint8_t> out(2 * utf8.size());
    out.resize(static_cast<std::size_t>(writeUtf16le(out.data(), utf8) - out.data()));
    return out;
}

std::string utf8FromUtf16le(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const uint32_t u = unitAt(bytes, i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const uint32_t low = unitAt(bytes, i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                zentra::appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        zentra::appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
    if (bytes.size() % 2) zentra::appendUtf8(out, kReplacement);
    return out;
}

}  // namespace mapi
