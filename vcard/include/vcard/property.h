#pragma once
// One content line of a card after decoding: group, name, parameters, the value as written
// and the value as text (or bytes for binary values), plus its structured components.
#include <cstddef>
#include <cstdint>
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

// A hash of an upper-case property name: its length and first, middle and last letters, which
// tell apart the names accessors look for at the cost of a few instructions per property. They
// scan every property of a card for the names they want: comparing hashes first leaves the
// string compare to the (near) match. Never 0 for a name that is not empty.
constexpr std::uint32_t hashName(std::string_view upperName) {
    if (upperName.empty()) return 0;
    const auto letter = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(upperName[i])); };
    return (static_cast<std::uint32_t>(upperName.size()) & 0xFF) | letter(0) << 8 |
           letter(upperName.size() / 2) << 16 | letter(upperName.size() - 1) << 24;
}

// A property name to look for, with its hash.
struct NameKey {
    std::string_view name;   // upper-case
    std::uint32_t hash;
    // From a literal, hashed while compiling, so p.is("EMAIL") costs no hashing at run time.
    consteval NameKey(const char* upperName) : name(upperName), hash(hashName(name)) {}
    // From a name known only at run time.
    static constexpr NameKey of(std::string_view upperName) { return NameKey(upperName, hashName(upperName)); }

private:
    constexpr NameKey(std::string_view upperName, std::uint32_t nameHash) : name(upperName), hash(nameHash) {}
};

struct Property {
    std::size_t line = 0;                // physical line (1-based) where the property starts
    std::string group;                   // "item1" of item1.TEL, original case; empty if none
    std::string name;                    // upper-cased, e.g. "TEL", "X-ABLABEL"
    std::uint32_t nameHash = 0;          // hashName(name), set with the name by the reader; 0 (a
                                         // property built by hand) makes is() compare the strings
    std::vector<Parameter> parameters;   // in file order of first appearance
    std::string rawValue;                // the bytes after ':' once lines are joined, not decoded
    std::string value;                   // UTF-8 text, escapes resolved; for structured values the
                                         // components joined with ';' (lists with ',')
    std::string bytes;                   // decoded binary data (BASE64, ENCODING=b, data: URI)
    bool isBinary = false;               // bytes holds the value (value is then empty)
    // Structured (N, ADR, ORG, GENDER, ...) and list (CATEGORIES, NICKNAME) values: one entry per
    // ';'-separated component, each a list of ','-separated values. Empty for plain values.
    std::vector<std::vector<std::string>> components;

    // True when the property has this name.
    bool is(const NameKey& key) const { return (nameHash == key.hash || nameHash == 0) && name == key.name; }
    // The parameter with this (upper-case) name, or nullptr.
    const Parameter* parameter(std::string_view upperName) const;
    // First value of a parameter, or empty.
    std::string parameterValue(std::string_view upperName) const;
    // True when TYPE holds this value (case-insensitive), e.g. hasType("home").
    bool hasType(std::string_view type) const;
    // TYPE values lower-cased, in file order, without duplicates.
    std::vector<std::string> types() const;
    // The same values appended to `out`, leaving out `except` (lower-case): accessors fill
    // their entries' lists directly. Duplicates are looked for among the values added here.
    void appendTypes(std::vector<std::string>& out, std::string_view except = {}) const;
    // Preference: 4.0 PREF=1..100, or 1 for TYPE=pref / bare 2.1 PREF; 0 when not preferred.
    int preference() const;
    // Component i joined with the separator (list values inside it), or empty when absent.
    std::string component(std::size_t index, std::string_view listSeparator = " ") const;
};

}  // namespace vcard
