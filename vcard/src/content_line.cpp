#include "content_line.h"

#include "line_reader.h"
#include "zentra/text.h"

namespace vcard {

using zentra::asciiUpper;
using zentra::equalsIgnoringAsciiCase;
using zentra::startsWithIgnoringAsciiCase;
using zentra::toAsciiUpper;
using zentra::trimSpaceTab;

namespace {

constexpr std::size_t kLargeValueBytes = 64u << 10;

bool isNameChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '/' || c == '.' || c == '+' || u >= 0x80;
}

// The parameters of the line being parsed. Entries from `used` on are left from a recycled
// property: they are filled again before new ones are made, so their value lists keep storage.
struct ParameterList {
    std::vector<Parameter>& entries;
    std::size_t used = 0;

    bool add(std::string_view upperName, std::string value) {
        for (std::size_t i = 0; i < used; ++i) {
            if (entries[i].name == upperName) {
                entries[i].values.push_back(std::move(value));
                return true;
            }
        }
        // Each name is looked up among those before it: a cap keeps hostile lines with thousands
        // of distinct parameters from taking quadratic time. Real writers use a handful.
        if (used >= kMaxParameterNames) return false;
        if (used == entries.size()) entries.emplace_back();
        Parameter& entry = entries[used++];
        entry.name.assign(upperName);
        entry.values.clear();
        entry.values.push_back(std::move(value));
        return true;
    }
    void finish() { entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(used), entries.end()); }
};

// Splits a TYPE value at every comma (4.0 writes quoted lists: TYPE="voice,home") and removes
// the quotes around values.
// Returns false when the parameter had to be dropped (too many names).
bool addValues(ParameterList& out, std::string_view name, std::string_view value, bool splitCommas) {
    if (value.find('"') == std::string_view::npos && (!splitCommas || value.find(',') == std::string_view::npos)) {
        return value.empty() || out.add(name, std::string(value));
    }
    std::string piece;
    bool kept = true;
    auto flush = [&] {
        if (!piece.empty()) kept = out.add(name, std::move(piece)) && kept;
        piece.clear();
    };
    for (const char c : value) {
        if (c == '"') {
            continue;
        } else if (c == ',' && splitCommas) {
            flush();
        } else {
            piece.push_back(c);
        }
    }
    flush();
    return kept;
}

// Bare 2.1 parameter names that are really ENCODING values.
bool isEncodingWord(std::string_view word) {
    return equalsIgnoringAsciiCase(word, "QUOTED-PRINTABLE") || equalsIgnoringAsciiCase(word, "BASE64") ||
           equalsIgnoringAsciiCase(word, "8BIT") || equalsIgnoringAsciiCase(word, "7BIT") ||
           equalsIgnoringAsciiCase(word, "B");
}

// Parameter names are short; upper-casing into a local buffer saves a string per parameter.
struct UpperName {
    char text[32];
    std::size_t size = 0;
    std::string longText;   // names longer than the buffer
    explicit UpperName(std::string_view s) {
        if (s.size() <= sizeof text) {
            for (std::size_t i = 0; i < s.size(); ++i) text[i] = asciiUpper(s[i]);
            size = s.size();
        } else {
            longText = toAsciiUpper(s);
        }
    }
    std::string_view view() const { return longText.empty() ? std::string_view(text, size) : std::string_view(longText); }
};

// Returns false when the parameter had to be dropped (too many names).
bool parseParameter(ParameterList& out, std::string_view token) {
    token = trimSpaceTab(token);
    if (token.empty()) return true;
    const std::size_t eq = token.find('=');
    if (eq == std::string_view::npos) {   // bare 2.1 parameter: TEL;HOME;VOICE
        if (isEncodingWord(token)) return out.add("ENCODING", std::string(token));
        if (startsWithIgnoringAsciiCase(token, "CHARSET")) return true;   // "CHARSET" with no value: ignore
        return addValues(out, "TYPE", token, true);
    }
    const UpperName name(trimSpaceTab(token.substr(0, eq)));
    if (name.view().empty()) return true;
    return addValues(out, name.view(), trimSpaceTab(token.substr(eq + 1)), name.view() == "TYPE");
}

}  // namespace

bool addParameterValue(Property& property, std::string_view upperName, std::string value) {
    ParameterList list{property.parameters, property.parameters.size()};
    return list.add(upperName, std::move(value));
}

bool parseContentLine(std::string& lineText, std::size_t number, std::size_t colon, Property& out, std::string& problem) {
    const std::string_view line = lineText;
    if (colon == std::string::npos || colon >= line.size() || line[colon] != ':') colon = findValueColon(line);
    if (colon == std::string::npos) {
        problem = "line is not a property (no ':'); ignored";
        return false;
    }
    const std::string_view header = line.substr(0, colon);
    const std::size_t semi = header.find(';');
    std::string_view fullName = trimSpaceTab(header.substr(0, semi));
    if (fullName.empty()) {
        problem = "line has no property name; ignored";
        return false;
    }
    bool lowerCase = false;   // most writers use upper-case names: nothing to convert then
    for (const char c : fullName) {
        if (!isNameChar(c)) {
            problem = "line is not a property (bad name); ignored";
            return false;
        }
        lowerCase = lowerCase || (c >= 'a' && c <= 'z');
    }
    // `out` may be a recycled property: every field is set again (its storage is kept).
    out.line = number;
    out.value.clear();
    out.bytes.clear();
    out.isBinary = false;   // components: reused and replaced when the value is decoded
    out.group.clear();
    if (const std::size_t dot = fullName.find('.'); dot != std::string_view::npos && dot + 1 < fullName.size()) {
        out.group.assign(fullName.substr(0, dot));
        fullName.remove_prefix(dot + 1);
    }
    out.name.assign(fullName);
    if (lowerCase)
        for (char& c : out.name) c = asciiUpper(c);
    out.nameHash = hashName(out.name);
    ParameterList parameters{out.parameters};
    std::size_t dropped = 0;
    if (semi != std::string_view::npos) {
        bool quoted = false;
        std::size_t start = semi + 1;
        for (std::size_t i = start; i <= header.size(); ++i) {
            if (i < header.size() && header[i] == '"') quoted = !quoted;
            if (i == header.size() || (header[i] == ';' && !quoted)) {
                if (!parseParameter(parameters, header.substr(start, i - start))) ++dropped;
                start = i + 1;
            }
        }
    }
    parameters.finish();
    if (dropped > 0)
        problem = "more than " + std::to_string(kMaxParameterNames) + " parameter names; " + std::to_string(dropped) +
                  " parameters ignored";
    // Usual values are copied, so the line keeps its storage for the next line; a large value
    // (an inline photo) takes the line's storage instead of existing twice.
    if (line.size() - colon > kLargeValueBytes) {
        out.rawValue = std::move(lineText);
        out.rawValue.erase(0, colon + 1);
    } else {
        out.rawValue.assign(line.substr(colon + 1));
    }
    return true;
}

}  // namespace vcard
