#pragma once
// One content line of a card after decoding: group, name, parameters, the value as written
// and the value as text (or bytes for binary values), plus its structured components.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vcard {

// A parameter with all its values. Names are upper-cased; values keep their case. Repeated
// parameters (type=HOME;type=pref) and bare 2.1 parameters (TEL;HOME;VOICE) are merged into
// one entry per name, so TYPE always lists every type in file order.
struct Parameter {
    std::string name;
    std::vector<std::string> values;
};

struct Property {
    std::size_t line = 0;                // physical line (1-based) where the property starts
    std::string group;                   // "item1" of item1.TEL, original case; empty if none
    std::string name;                    // upper-cased, e.g. "TEL", "X-ABLABEL"
    std::vector<Parameter> parameters;   // in file order of first appearance
    std::string rawValue;                // the bytes after ':' once lines are joined, not decoded
    std::string value;                   // UTF-8 text, escapes resolved; for structured values the
                                         // components joined with ';' (lists with ',')
    std::string bytes;                   // decoded binary data (BASE64, ENCODING=b, data: URI)
    bool isBinary = false;               // bytes holds the value (value is then empty)
    // Structured (N, ADR, ORG, GENDER, ...) and list (CATEGORIES, NICKNAME) values: one entry per
    // ';'-separated component, each a list of ','-separated values. Empty for plain values.
    std::vector<std::vector<std::string>> components;

    // The parameter with this (upper-case) name, or nullptr.
    const Parameter* parameter(std::string_view upperName) const;
    // First value of a parameter, or empty.
    std::string parameterValue(std::string_view upperName) const;
    // True when TYPE holds this value (case-insensitive), e.g. hasType("home").
    bool hasType(std::string_view type) const;
    // TYPE values lower-cased, in file order, without duplicates.
    std::vector<std::string> types() const;
    // Preference: 4.0 PREF=1..100, or 1 for TYPE=pref / bare 2.1 PREF; 0 when not preferred.
    int preference() const;
    // Component i joined with the separator (list values inside it), or empty when absent.
    std::string component(std::size_t index, std::string_view listSeparator = " ") const;
};

}  // namespace vcard
