#pragma once
// One-off entry identifiers ([MS-OXCDATA] 2.2.5.1): an address that lives in no address book,
// carried whole inside the entry id. Contacts store one per e-mail and fax slot.
//
// Layout: 4 zero flag bytes (a long-term id), MAPI_ONE_OFF_UID (16 bytes), version 0 (2 bytes,
// little-endian), a 16-bit flags word (little-endian), then display name, address type and
// address, each NUL-terminated, in UTF-16LE when the Unicode flag is set.
//
// The flags word read as a little-endian integer:
//   0x8000  U  strings are UTF-16LE with 2-byte terminators (always set here)
//   0x1000  L  the server must not try to resolve the address in an address book (a one-off
//              address from an imported card belongs to no directory)
//   0x0001  M  send to this recipient as pure MIME, not TNEF (right for Internet addresses)
//   0x1E00-range bits (message format, MAE encoding) stay 0: no preference, the client decides.
// So an SMTP address gets 0x9001 and a fax address (not an Internet recipient) 0x9000.
#include <cstdint>
#include <string>
#include <string_view>

#include "mapi/value.h"

namespace contact {

constexpr uint16_t kOneOffUnicode = 0x8000;
constexpr uint16_t kOneOffNoLookup = 0x1000;
constexpr uint16_t kOneOffSendMime = 0x0001;
constexpr uint16_t kOneOffSmtpFlags = kOneOffUnicode | kOneOffNoLookup | kOneOffSendMime;
constexpr uint16_t kOneOffFaxFlags = kOneOffUnicode | kOneOffNoLookup;

// MAPI_ONE_OFF_UID {A41F2B81-A3BE-1910-9D6E-00DD010F5402} as stored.
extern const uint8_t kOneOffProviderUid[16];

// Builds the entry id from UTF-8 strings. Invalid UTF-8 becomes U+FFFD.
std::string makeOneOffEntryId(std::string_view displayName, std::string_view addressType,
                              std::string_view address, uint16_t flags);
// The same as a binary property value, written straight into it.
mapi::Value oneOffEntryIdValue(std::string_view displayName, std::string_view addressType,
                               std::string_view address, uint16_t flags);

}  // namespace contact
