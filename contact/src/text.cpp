// Small text helpers of the mapping.
#include "mapping_context.h"

namespace contact::detail {

std::string withCrlf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
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
    return out;
}

std::string withoutNul(std::string text) {
    if (text.find('\0') != std::string::npos) std::erase(text, '\0');
    return text;
}

Value withoutNul(Value value) {
    if (std::string* s = std::get_if<std::string>(&value)) {
        *s = withoutNul(std::move(*s));
    } else if (auto* list = std::get_if<std::vector<std::string>>(&value)) {
        for (std::string& item : *list) item = withoutNul(std::move(item));
    }
    return value;
}

std::string trimmed(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    return std::string(s);
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

void MappingContext::addDetail(std::string_view label, std::string_view value) {
    std::string line(label);
    line += ": ";
    const std::string v = trimmed(value);
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
