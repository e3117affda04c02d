#pragma once
// Tags, ids and HIDs appear in error descriptions in hexadecimal, as [MS-PST] writes them.
#include <cstdint>
#include <cstdio>
#include <string>

namespace pst::ltp {

inline std::string hexString(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

}  // namespace pst::ltp
