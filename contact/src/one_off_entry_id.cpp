// One-off entry ids and the UTF-8 to UTF-16LE conversion they need.
#include "contact/one_off_entry_id.h"

namespace contact {

const uint8_t kOneOffProviderUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                        0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};

namespace {

void putUnit(std::string& out, uint32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

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

void putString(std::string& out, std::string_view utf8) {
    out += utf16le(utf8);
    putUnit(out, 0);
}

}  // namespace

std::string utf16le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    for (std::size_t i = 0; i < utf8.size();) {
        const uint32_t cp = nextCodePoint(utf8, i);
        if (cp >= 0x10000) {
            putUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
            putUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            putUnit(out, cp);
        }
    }
    return out;
}

std::string makeOneOffEntryId(std::string_view displayName, std::string_view addressType, std::string_view address,
                              uint16_t flags) {
    std::string id(4, '\0');   // long-term entry id: flag bytes are zero
    id.append(reinterpret_cast<const char*>(kOneOffProviderUid), sizeof kOneOffProviderUid);
    putUnit(id, 0);            // version
    putUnit(id, flags);
    if (flags & kOneOffUnicode) {
        putString(id, displayName);
        putString(id, addressType);
        putString(id, address);
    } else {   // 8-bit strings: only for callers that know their text is ASCII
        for (std::string_view s : {displayName, addressType, address}) {
            id.append(s);
            id.push_back('\0');
        }
    }
    return id;
}

}  // namespace contact
