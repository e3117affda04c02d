#pragma once
// UTF-8 <-> UTF-16LE, the stored form of every PtypString. Nothing here fails: malformed input
// becomes U+FFFD.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mapi {

// Writes the UTF-16LE form of `utf8` (no terminator) at `out` and returns the end. A UTF-8
// sequence never gives more UTF-16 units than it has bytes: room for 2 * utf8.size() bytes is
// enough. Each maximal malformed prefix of a sequence becomes one U+FFFD.
uint8_t* writeUtf16le(uint8_t* out, std::string_view utf8);
std::vector<uint8_t> utf16leFromUtf8(std::string_view utf8);

// UTF-16LE to UTF-8; unpaired surrogates and a trailing odd byte become U+FFFD.
std::string utf8FromUtf16le(std::span<const uint8_t> utf16le);

}  // namespace mapi
