#pragma once
// Case folding for comparing names the way Outlook does (without regard to case). Covers the
// scripts names are usually written in: Latin (ASCII, Latin-1, Latin Extended-A), Greek and
// Cyrillic; other characters compare as they are.
#include <string>

namespace pstcheck {

inline char16_t foldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x100 && c <= 0x137 && c % 2 == 0) return c + 1;
    if (c >= 0x139 && c <= 0x148 && c % 2 == 1) return c + 1;
    if (c >= 0x14A && c <= 0x177 && c % 2 == 0) return c + 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E && c % 2 == 1) return c + 1;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

inline std::u16string foldCase(const std::u16string& s) {
    std::u16string out = s;
    for (auto& c : out) c = foldCase(c);
    return out;
}

}  // namespace pstcheck
