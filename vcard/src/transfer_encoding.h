#pragma once
// Transfer encodings of values: quoted-printable, base64 and data: URIs.
#include <string>
#include <string_view>

namespace vcard {

// Quoted-printable to bytes. "=XX" (either case) is a byte; an '=' not followed by two hex
// digits is kept as it is (and `malformed` is set).
std::string decodeQuotedPrintable(std::string_view text, bool& malformed);

// Base64 to bytes, ignoring white space anywhere. Returns false for characters outside the
// alphabet, data after the padding or a dangling final character.
bool decodeBase64(std::string_view text, std::string& out);

// A data: URI ("data:image/jpeg;base64,...", any case). Returns false when `uri` is not one;
// otherwise fills the media type (lower-cased, may be empty) and the decoded data; `valid` is
// false when the base64 part is broken.
bool decodeDataUri(std::string_view uri, std::string& mediaType, std::string& data, bool& valid);

}  // namespace vcard
