#pragma once
// UTF-8 helpers used by the decoding steps.
#include <cstdint>
#include <string>
#include <string_view>

namespace vcard {

bool isAscii(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);
// Windows-1252 to UTF-8; the five unassigned bytes map to the C1 code point of the same value.
std::string windows1252ToUtf8(std::string_view bytes);

}  // namespace vcard
