#pragma once
// UTF-16 text, as PST strings hold it, to UTF-8 for messages and comparisons. The test readers
// decode what they read with the same functions.
#include <cstdint>
#include <string>
#include <string_view>

namespace pstcheck {

// Appends one code point as UTF-8.
void appendUtf8(std::string& out, uint32_t codePoint);
// Joins surrogate pairs; a lone surrogate is passed on as a code point of its own.
std::string toUtf8(std::u16string_view s);

}  // namespace pstcheck
