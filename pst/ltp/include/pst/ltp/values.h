#pragma once
// Helpers around stored property values: type sizes and text conversion. The Value type and its
// constructors are declared in ltp.h.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pst::ltp {

constexpr uint16_t kMultiValueFlag = 0x1000;

// Size of a fixed-size type's stored value (Boolean 1, Integer16 2, Integer32 4, Time 8, Guid 16,
// ...), or 0 for variable-size types (strings, binaries, objects, every multi-valued type).
uint32_t fixedValueSize(uint16_t type);
// Element size of a multi-valued fixed-size type (PtypMultipleInteger32 -> 4), 0 otherwise.
uint32_t multiValueElementSize(uint16_t type);
// Whether a multi-valued type's elements are variable-size (ulCount + rgulDataOffsets layout).
bool isMultiVariable(uint16_t type);

// UTF-8 to UTF-16LE without terminator; malformed input becomes U+FFFD, never an error.
std::vector<uint8_t> utf16leFromUtf8(std::string_view utf8);
// UTF-16LE to UTF-8; unpaired surrogates and a trailing odd byte become U+FFFD.
std::string utf8FromUtf16le(std::span<const uint8_t> utf16le);

// Encodes the variable-size multi-valued layout of [MS-PST] 2.3.3.4.2.
std::vector<uint8_t> packMultiVariable(const std::vector<std::vector<uint8_t>>& items);
// Splits a stored multi-valued value into its elements (either layout, chosen by `type`);
// throws kErrStoreCorrupt when the layout is inconsistent.
std::vector<std::vector<uint8_t>> unpackMultiValue(uint16_t type, std::span<const uint8_t> bytes);

}  // namespace pst::ltp
