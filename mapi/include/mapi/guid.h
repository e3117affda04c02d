#pragma once
// GUIDs in their stored byte order ([MS-OXCDATA] 2.5.1: Data1, Data2 and Data3 little-endian,
// then Data4 as written) and the property sets the program names its properties in.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mapi {

using Guid = std::array<uint8_t, 16>;

// {xxxxxxxx-0000-0000-C000-000000000046}: the form of every MAPI-defined property set.
constexpr Guid mapiGuid(uint32_t data1) {
    return Guid{static_cast<uint8_t>(data1), static_cast<uint8_t>(data1 >> 8), static_cast<uint8_t>(data1 >> 16),
                static_cast<uint8_t>(data1 >> 24), 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
                0x00, 0x46};
}

// Property sets ([MS-OXPROPS] 1.3.2).
inline constexpr Guid kPsMapi = mapiGuid(0x00020328);            // PS_MAPI
inline constexpr Guid kPsPublicStrings = mapiGuid(0x00020329);   // PS_PUBLIC_STRINGS
inline constexpr Guid kPsetidAddress = mapiGuid(0x00062004);     // PSETID_Address: contacts
inline constexpr Guid kPsetidCommon = mapiGuid(0x00062008);      // PSETID_Common

// "{00062004-0000-0000-C000-000000000046}" for messages and tests.
std::string guidText(const Guid& guid);
// Parses "00062004-0000-0000-C000-000000000046" (no braces) into stored byte order;
// throws zentra::Error(kErrInvalidArgument) for anything else.
Guid parseGuid(std::string_view text);

}  // namespace mapi
