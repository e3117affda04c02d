// One-off entry ids.
#include "contact/one_off_entry_id.h"

#include <cstring>

#include "mapi/utf16.h"

namespace contact {

const uint8_t kOneOffProviderUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                        0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};

namespace {

// Header, then at most two bytes per input byte and two per terminator; trimmed to what is written.
constexpr std::size_t kHeader = 4 + sizeof kOneOffProviderUid + 2 + 2;

std::size_t mostBytes(std::string_view displayName, std::string_view addressType, std::string_view address) {
    return kHeader + 2 * (displayName.size() + addressType.size() + address.size() + 3);
}

// Writes the whole id at `p` (mostBytes of room); returns the end of what it wrote.
uint8_t* writeOneOffEntryId(uint8_t* p, std::string_view displayName, std::string_view addressType,
                            std::string_view address, uint16_t flags) {
    std::memset(p, 0, 4);   // long-term entry id: flag bytes are zero
    p += 4;
    std::memcpy(p, kOneOffProviderUid, sizeof kOneOffProviderUid);
    p += sizeof kOneOffProviderUid;
    *p++ = 0;   // version 0
    *p++ = 0;
    *p++ = static_cast<uint8_t>(flags & 0xFF);
    *p++ = static_cast<uint8_t>(flags >> 8);
    for (std::string_view s : {displayName, addressType, address}) {
        if (flags & kOneOffUnicode) {
            p = mapi::writeUtf16le(p, s);
            *p++ = '\0';
            *p++ = '\0';
        } else {   // 8-bit strings: only for callers that know their text is ASCII
            std::memcpy(p, s.data(), s.size());
            p += s.size();
            *p++ = '\0';
        }
    }
    return p;
}

}  // namespace

std::string makeOneOffEntryId(std::string_view displayName, std::string_view addressType, std::string_view address,
                              uint16_t flags) {
    std::string id(mostBytes(displayName, addressType, address), '\0');
    auto* start = reinterpret_cast<uint8_t*>(id.data());
    id.resize(static_cast<std::size_t>(writeOneOffEntryId(start, displayName, addressType, address, flags) - start));
    return id;
}

mapi::Value oneOffEntryIdValue(std::string_view displayName, std::string_view addressType, std::string_view address,
                               uint16_t flags) {
    mapi::Value value{mapi::kPtypBinary, {}};
    uint8_t* start = value.bytes.uninitialised(mostBytes(displayName, addressType, address));
    value.bytes.resize(static_cast<std::size_t>(writeOneOffEntryId(start, displayName, addressType, address, flags) - start));
    return value;
}

}  // namespace contact
