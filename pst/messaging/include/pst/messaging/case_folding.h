#pragma once
// Folder names and string property names compare without regard to case, as Outlook compares
// them. The folding is simple one-to-one lower-casing of ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic
// (final sigma folds with sigma); other scripts compare exactly. Text is UTF-8; an invalid
// sequence is compared byte by byte.
#include <string>
#include <string_view>

namespace pst::messaging {

// The folded form, as UTF-8: two names are the same folder name when their keys are equal.
std::string caseBlindKey(std::string_view utf8);

inline bool sameIgnoringCase(std::string_view a, std::string_view b) { return caseBlindKey(a) == caseBlindKey(b); }

}  // namespace pst::messaging
