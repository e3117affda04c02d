#pragma once
// Preference ordering shared by the typed entries of a card.
#include <algorithm>
#include <vector>

namespace vcard {

template <class T>
std::vector<T> byPreference(std::vector<T> entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const T& a, const T& b) {
        const int pa = a.preference == 0 ? 1000 : a.preference;
        const int pb = b.preference == 0 ? 1000 : b.preference;
        return pa < pb;
    });
    return entries;
}

}  // namespace vcard
