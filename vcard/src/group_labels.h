#pragma once
// Labels of property groups (item1.X-ABLabel) looked up by group name. One index per accessor
// call keeps the look-up linear in the card's size: cards with thousands of grouped properties
// would otherwise take quadratic time, each property scanning every other one.
#include <string>
#include <string_view>
#include <unordered_map>

#include "vcard/card.h"

namespace vcard {

// "_$!<Other>!$_" -> "Other"; other labels trimmed.
std::string cleanedGroupLabel(std::string_view label);

class GroupLabels {
public:
    explicit GroupLabels(const Card& card) : card_(card) {}
    // The same answer as Card::groupLabel(group).
    std::string of(std::string_view group);

private:
    const Card& card_;
    bool built_ = false;
    std::unordered_map<std::string, const Property*> first_;   // lower-cased group -> its first label
};

}  // namespace vcard
