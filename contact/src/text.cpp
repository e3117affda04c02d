// Small text helpers of the mapping.
#include <algorithm>

#include "mapping_context.h"
#include "zentra/error.h"

namespace contact::detail {

void appendWithCrlf(std::string& out, std::string_view text) {
    // Most text has no line break at all: copy it in one piece.
    if (std::none_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; })) {
        out += text;
        return;
    }
    out.reserve(out.size() + text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out.push_back(c);
        }
    }
}

std::string withCrlf(std::string_view text) {
    std::string out;
    appendWithCrlf(out, text);
    return out;
}

void removeNul(std::string& text) {
    if (text.find('\0') != std::string::npos) std::erase(text, '\0');
}

mapi::Value textValue(std::string_view text) {
    if (text.find('\0') == std::string_view::npos) return mapi::stringValue(text);
    std::string clean(text);
    removeNul(clean);
    return mapi::stringValue(clean);
}

mapi::Value textListValue(std::vector<std::string> texts) {
    for (std::string& text : texts) removeNul(text);
    return mapi::multiStringValue(texts);
}

void throwTypeMismatch(const PropertyKey& key, uint16_t given, uint16_t wanted) {
    throw zentra::Error(zentra::kErrInvalidArgument, "property " + key.describe() + " given type " +
                                                         std::to_string(given) + " instead of " + std::to_string(wanted));
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

std::string joinedViews(std::initializer_list<std::string_view> parts, std::string_view separator) {
    std::size_t size = 0;
    for (std::string_view part : parts) size += part.size() + separator.size();
    std::string out;
    out.reserve(size);
    for (std::string_view part : parts) {
        if (part.empty()) continue;
        if (!out.empty()) out += separator;
        out += part;
    }
    return out;
}

void MappingContext::addDetail(std::string_view label, std::string_view value) {
    std::string line(label);
    line += ": ";
    const std::string_view v = trimWhitespace(value);
    line.reserve(line.size() + v.size() + 8);
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\r' || v[i] == '\n') {
            if (v[i] == '\r' && i + 1 < v.size() && v[i + 1] == '\n') ++i;
            line += ", ";
        } else {
            line.push_back(v[i]);
        }
    }
    details.push_back(std::move(line));
}

}  // namespace contact::detail
