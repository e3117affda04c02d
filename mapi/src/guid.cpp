// GUID text in both directions.
#include "mapi/guid.h"

#include <cstdio>

#include "zentra/error.h"

namespace mapi {
namespace {

// Stored byte i holds text byte kTextOrder[i]: Data1, Data2 and Data3 are little-endian.
constexpr int kTextOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

}  // namespace

std::string guidText(const Guid& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[3],
                  g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    return text;
}

Guid parseGuid(std::string_view text) {
    const auto fail = [&] { throw zentra::Error(zentra::kErrInvalidArgument, "not a GUID: " + std::string(text)); };
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') fail();
    const auto nibble = [&](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        fail();
        return 0;
    };
    uint8_t written[16];   // in text order
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '-') continue;
        written[n / 2] = static_cast<uint8_t>(written[n / 2] << 4 | nibble(text[i]));
        ++n;
    }
    Guid g{};
    for (int i = 0; i < 16; ++i) g[i] = written[kTextOrder[i]];
    return g;
}

}  // namespace mapi
