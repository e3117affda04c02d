// One-off entry ids and the UTF-8 to UTF-16LE conversion they need.
#include "contact/one_off_entry_id.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace contact {

const uint8_t kOneOffProviderUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                        0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};

namespace {

// Decodes one code point at `i`, advancing it; U+FFFD for a malformed sequence (one byte consumed).
uint32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t length = 0;
    uint32_t cp = 0, minimum = 0;
    if ((lead & 0xE0) == 0xC0) length = 2, cp = lead & 0x1F, minimum = 0x80;
    else if ((lead & 0xF0) == 0xE0) length = 3, cp = lead & 0x0F, minimum = 0x800;
    else if ((lead & 0xF8) == 0xF0) length = 4, cp = lead & 0x07, minimum = 0x10000;
    if (length == 0 || i + length > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += length;
    return cp;
}

// Writes the UTF-16LE form of `utf8` at `p` and returns the end. A UTF-8 sequence never gives
// more UTF-16 units than it has bytes, so callers make room for two bytes per input byte;
// ASCII, nearly all of what contacts hold, is widened without decoding.
char* writeUtf16le(char* p, std::string_view utf8) {
    const auto put = [&p](uint32_t unit) {
        *p++ = static_cast<char>(unit & 0xFF);
        *p++ = static_cast<char>((unit >> 8) & 0xFF);
    };
    for (std::size_t i = 0; i < utf8.size();) {
#if defined(__SSE2__)
        // Sixteen ASCII bytes at a time: interleaved with zero bytes they are their UTF-16LE form.
        if (i + 16 <= utf8.size()) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(utf8.data() + i));
            if (_mm_movemask_epi8(bytes) == 0) {
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_unpacklo_epi8(bytes, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), _mm_unpackhi_epi8(bytes, zero));
                p += 32;
                i += 16;
                continue;
            }
        }
#endif
        if (static_cast<uint8_t>(utf8[i]) < 0x80) {
            *p++ = utf8[i++];
            *p++ = '\0';
            continue;
        }
        const uint32_t cp = nextCodePoint(utf8, i);
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return p;
}

}  // namespace

std::string utf16le(std::string_view utf8) {
    std::string out(2 * utf8.size(), '\0');
    out.resize(static_cast<std::size_t>(writeUtf16le(out.data(), utf8) - out.data()));
    return out;
}

std::string makeOneOffEntryId(std::string_view displayName, std::string_view addressType, std::string_view address,
                              uint16_t flags) {
    // Header, then at most two bytes per input byte and two per terminator; trimmed at the end.
    constexpr std::size_t kHeader = 4 + sizeof kOneOffProviderUid + 2 + 2;
    std::string id(kHeader + 2 * (displayName.size() + addressType.size() + address.size() + 3), '\0');
    char* p = id.data();
    p += 4;   // long-term entry id: flag bytes are zero
    std::memcpy(p, kOneOffProviderUid, sizeof kOneOffProviderUid);
    p += sizeof kOneOffProviderUid;
    p += 2;   // version 0
    *p++ = static_cast<char>(flags & 0xFF);
    *p++ = static_cast<char>(flags >> 8);
    for (std::string_view s : {displayName, addressType, address}) {
        if (flags & kOneOffUnicode) {
            p = writeUtf16le(p, s);
            *p++ = '\0';
            *p++ = '\0';
        } else {   // 8-bit strings: only for callers that know their text is ASCII
            std::memcpy(p, s.data(), s.size());
            p += s.size();
            *p++ = '\0';
        }
    }
    id.resize(static_cast<std::size_t>(p - id.data()));
    return id;
}

}  // namespace contact
