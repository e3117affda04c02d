#pragma once
// A contact item written out as text, property by property in list order, with every value in
// full: what the golden tests compare, so any change to a key, a value, a type or the order of
// the mapping's output shows up as a readable difference.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "contact/mapper.h"
#include "mapi/value.h"

namespace contact::testing {

// 64-bit FNV-1a: a compact digest of a dump, for inputs too large to keep their dumps.
inline uint64_t digestOf(std::string_view text) {
    uint64_t hash = 14695981039346656037ULL;
    for (char c : text) hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ULL;
    return hash;
}

inline std::string hexDigest(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// Printable ASCII as is; quotes, backslashes and every other byte escaped, so the dump is plain
// ASCII whatever the card held (invalid UTF-8 included).
inline void appendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte >= 0x20 && byte < 0x7F) {
            out.push_back(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        }
    }
    out.push_back('"');
}

// Values printed as the mapping meant them (strings as UTF-8 again), whatever their stored form.
inline void appendValue(std::string& out, const mapi::Value& value) {
    switch (value.type) {
        case mapi::kPtypString: appendQuoted(out, *mapi::stringOf(value)); return;
        case mapi::kPtypBoolean: out += *mapi::boolOf(value) ? "true" : "false"; return;
        case mapi::kPtypInteger16: out += std::to_string(*mapi::int16Of(value)); return;
        case mapi::kPtypInteger32: out += std::to_string(*mapi::int32Of(value)); return;
        case mapi::kPtypTime: out += std::to_string(mapi::timeOf(value)->ticks); return;
        case mapi::kPtypBinary: {
            // Entry ids in full; large data (photos) by size and digest.
            const std::string bytes(value.bytes.begin(), value.bytes.end());
            if (bytes.size() > 256) {
                out += std::to_string(bytes.size()) + " bytes, digest " + hexDigest(digestOf(bytes));
                return;
            }
            static const char* hex = "0123456789ABCDEF";
            for (char c : bytes) {
                out.push_back(hex[static_cast<uint8_t>(c) >> 4]);
                out.push_back(hex[static_cast<uint8_t>(c) & 15]);
            }
            return;
        }
        case mapi::kPtypMultipleInteger32: {
            const std::vector<int32_t> v = *mapi::multiInt32Of(value);
            out += "[";
            for (std::size_t i = 0; i < v.size(); ++i) out += (i ? ", " : "") + std::to_string(v[i]);
            out += "]";
            return;
        }
        case mapi::kPtypMultipleString: {
            const std::vector<std::string> v = *mapi::multiStringOf(value);
            out += "[";
            for (std::size_t i = 0; i < v.size(); ++i) {
                if (i) out += ", ";
                appendQuoted(out, v[i]);
            }
            out += "]";
            return;
        }
        default: out += "?"; return;
    }
}

inline void appendProperties(std::string& out, const PropertyList& list, std::string_view indent) {
    for (const Property& p : list) {
        char type[8];
        std::snprintf(type, sizeof type, "%04X", static_cast<unsigned>(p.type()));
        out += indent;
        out += p.key.describe();
        out += ' ';
        out += type;
        out += ' ';
        appendValue(out, p.value);
        out += '\n';
    }
}

inline std::string dumpItem(const ContactItem& item) {
    std::string out;
    for (const Warning& w : item.warnings) {
        out += w.source == Warning::Source::Parser ? "warning parser " : "warning mapping ";
        out += std::to_string(w.line) + " ";
        appendQuoted(out, w.property);
        out += " ";
        appendQuoted(out, w.message);
        out += '\n';
    }
    appendProperties(out, item.properties, "");
    for (std::size_t i = 0; i < item.attachments.size(); ++i) {
        out += "attachment " + std::to_string(i) + "\n";
        appendProperties(out, item.attachments[i].properties, "  ");
    }
    return out;
}

}  // namespace contact::testing
