#pragma once
// Shared helpers of the contact mapping tests: a card from lines, mapping with a fixed import
// time, and look-ups that print well in failure messages.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "contact/mapper.h"
#include "contact/property_ids.h"
#include "vcard/reader.h"

namespace contact::testing {

inline constexpr FileTime kImportTime{133444444440000000ULL};

inline MapOptions fixedOptions() {
    MapOptions options;
    options.now = kImportTime;
    return options;
}

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

inline std::optional<std::string> tagText(const ContactItem& item, uint16_t id) {
    const std::string* s = item.properties.get<std::string>(tagKey(id));
    return s ? std::optional<std::string>(*s) : std::nullopt;
}

inline std::optional<std::string> namedText(const ContactItem& item, uint32_t lid) {
    const std::string* s = item.properties.get<std::string>(addressKey(lid));
    return s ? std::optional<std::string>(*s) : std::nullopt;
}

template <class T>
std::optional<T> tagValue(const ContactItem& item, uint16_t id) {
    const T* v = item.properties.get<T>(tagKey(id));
    return v ? std::optional<T>(*v) : std::nullopt;
}

template <class T>
std::optional<T> namedValue(const ContactItem& item, uint32_t lid) {
    const T* v = item.properties.get<T>(addressKey(lid));
    return v ? std::optional<T>(*v) : std::nullopt;
}

inline std::string body(const ContactItem& item) { return tagText(item, tag::kBody).value_or(""); }

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
