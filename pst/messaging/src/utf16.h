#pragma once
// UTF-16LE <-> UTF-8 for values read back from property contexts.
#include <span>
#include <string>

namespace pst::messaging::detail {

std::string utf8FromUtf16le(std::span<const uint8_t> bytes);

}  // namespace pst::messaging::detail
