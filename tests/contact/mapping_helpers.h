#pragma once
// Shared helpers of the contact mapping tests: a card from lines, mapping with a fixed import
// time, and look-ups that print well in failure messages.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "contact/mapper.h"
#include "contact/property_ids.h"
#include "mapi/property_catalogue.h"
#include "mapi/utf16.h"
#include "vcard/reader.h"

namespace contact::testing {

using mapi::FileTime;

// The options every mapping test uses (the mapping itself reads no clock).
inline MapOptions fixedOptions() { return MapOptions{}; }

// Binary values as a string of bytes, which compares and prints well.
struct Binary {
    std::string bytes;
};

inline std::string utf16le(std::string_view utf8) {
    const std::vector<uint8_t> bytes = mapi::utf16leFromUtf8(utf8);
    return std::string(bytes.begin(), bytes.end());
}

// A stored value read back as T (std::string, integers, bool, FileTime, Binary, lists).
template <class T>
std::optional<T> valueAs(const mapi::Value& v) {
    if constexpr (std::is_same_v<T, std::string>) return mapi::stringOf(v);
    else if constexpr (std::is_same_v<T, int16_t>) return mapi::int16Of(v);
    else if constexpr (std::is_same_v<T, int32_t>) return mapi::int32Of(v);
    else if constexpr (std::is_same_v<T, bool>) return mapi::boolOf(v);
    else if constexpr (std::is_same_v<T, FileTime>) return mapi::timeOf(v);
    else if constexpr (std::is_same_v<T, std::vector<int32_t>>) return mapi::multiInt32Of(v);
    else if constexpr (std::is_same_v<T, std::vector<std::string>>) return mapi::multiStringOf(v);
    else {
        static_assert(std::is_same_v<T, Binary>);
        if (v.type != mapi::kPtypBinary) return std::nullopt;
        return Binary{std::string(v.bytes.begin(), v.bytes.end())};
    }
}

template <class T>
std::optional<T> valueOf(const PropertyList& list, const PropertyKey& key) {
    const Property* p = list.find(key);
    return p ? valueAs<T>(p->value) : std::nullopt;
}

// A named property of PSETID_Address by its LID.
inline PropertyKey addressKey(uint32_t lid) { return PropertyKey::named(mapi::kPsetidAddress, lid); }

// A 3.0 card around the given content lines (each line ends in "\n"), written with CRLF.
inline std::string card(std::string_view lines, std::string_view version = "3.0") {
    std::string text = "BEGIN:VCARD\r\nVERSION:" + std::string(version) + "\r\n";
    std::size_t start = 0;
    while (start < lines.size()) {
        std::size_t end = lines.find('\n', start);
        if (end == std::string_view::npos) end = lines.size();
        text += std::string(lines.substr(start, end - start)) + "\r\n";
        start = end + 1;
    }
    return text + "END:VCARD\r\n";
}

inline ContactItem mapText(std::string_view vcf) {
    std::vector<vcard::Card> cards = vcard::parseBuffer(vcf);
    EXPECT_EQ(cards.size(), 1u) << vcf;
    if (cards.empty()) return ContactItem{};
    return mapCard(cards.front(), fixedOptions());
}

inline ContactItem mapLines(std::string_view lines) { return mapText(card(lines)); }

inline std::optional<std::string> tagText(const ContactItem& item, const mapi::PropertyTag& tag) {
    return valueOf<std::string>(item.properties, tag);
}

inline std::optional<std::string> namedText(const ContactItem& item, const PropertyKey& key) {
    return valueOf<std::string>(item.properties, key);
}
inline std::optional<std::string> namedText(const ContactItem& item, uint32_t lid) {
    return valueOf<std::string>(item.properties, addressKey(lid));
}

template <class T>
std::optional<T> tagValue(const ContactItem& item, const mapi::PropertyTag& tag) {
    return valueOf<T>(item.properties, tag);
}

template <class T>
std::optional<T> namedValue(const ContactItem& item, const PropertyKey& key) {
    return valueOf<T>(item.properties, key);
}
template <class T>
std::optional<T> namedValue(const ContactItem& item, uint32_t lid) {
    return valueOf<T>(item.properties, addressKey(lid));
}

inline std::string body(const ContactItem& item) { return tagText(item, mapi::PidTagBody).value_or(""); }

inline bool hasWarningContaining(const ContactItem& item, std::string_view text) {
    for (const Warning& w : item.warnings)
        if (w.message.find(text) != std::string::npos) return true;
    return false;
}

inline std::string base64(std::string_view bytes) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<uint8_t>(bytes[i]) << 16) | (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                           static_cast<uint8_t>(bytes[i + 2]);
        for (int k = 3; k >= 0; --k) out.push_back(alphabet[(v >> (6 * k)) & 63]);
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<uint8_t>(bytes[i]) << 16;
        out += {alphabet[(v >> 18) & 63], alphabet[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const unsigned v = (static_cast<uint8_t>(bytes[i]) << 16) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
        out += {alphabet[(v >> 18) & 63], alphabet[(v >> 12) & 63], alphabet[(v >> 6) & 63], '='};
    }
    return out;
}

}  // namespace contact::testing
