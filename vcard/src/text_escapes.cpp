#include "text_escapes.h"

#include <algorithm>

namespace vcard {

namespace {

// Unescapes one piece of a structured or list value.
std::string unescapePiece(std::string_view piece, EscapeRules rules) {
    if (rules == EscapeRules::V30 || piece.find('\\') == std::string_view::npos) return unescapeText(piece, rules);
    std::string out;
    out.reserve(piece.size());
    for (std::size_t i = 0; i < piece.size(); ++i) {
        const char c = piece[i];
        if (c == '\\' && i + 1 < piece.size()) {
            const char n = piece[i + 1];
            if (n == ';' || n == ',' || n == '\\' || n == ':') {
                out.push_back(n);
                ++i;
                continue;
            }
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace

std::string unescapeText(std::string_view text, EscapeRules rules) {
    if (rules == EscapeRules::V21 || text.find('\\') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out.push_back(c);
            continue;
        }
        const char n = text[++i];
        out.push_back(n == 'n' || n == 'N' ? '\n' : n);
    }
    return out;
}

void unescapeTextInPlace(std::string& text) {
    std::size_t in = text.find('\\');
    if (in == std::string::npos) return;
    std::size_t out = in;
    const std::size_t size = text.size();
    for (; in < size; ++in) {
        const char c = text[in];
        if (c != '\\' || in + 1 == size) {
            text[out++] = c;
            continue;
        }
        const char n = text[++in];
        text[out++] = n == 'n' || n == 'N' ? '\n' : n;
    }
    text.resize(out);
}

void splitStructured(std::string_view text, EscapeRules rules, bool lists, std::vector<std::vector<std::string>>& components) {
    // Lists already in `components` are emptied and filled again: their storage is reused.
    components.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), ';')) + 1);
    std::size_t used = 0;
    auto nextComponent = [&] {
        if (used == components.size()) components.emplace_back();
        else components[used].clear();
        ++used;
    };
    nextComponent();
    std::size_t start = 0;
    // Empty pieces are left out, so an empty component is an empty list and costs nothing.
    auto endPiece = [&](std::size_t end) {
        if (end > start) {
            std::string piece = unescapePiece(text.substr(start, end - start), rules);
            if (!piece.empty()) components[used - 1].push_back(std::move(piece));
        }
        start = end + 1;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            ++i;
        } else if (c == ';') {
            endPiece(i);
            nextComponent();
        } else if (c == ',' && lists) {
            endPiece(i);
        }
    }
    endPiece(text.size());
    components.erase(components.begin() + static_cast<std::ptrdiff_t>(used), components.end());
}

std::vector<std::string> splitList(std::string_view text, EscapeRules rules, bool semicolonToo) {
    std::vector<std::string> values;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] == '\\') {
            if (i + 1 < text.size()) ++i;
            continue;
        }
        if (i == text.size() || text[i] == ',' || (semicolonToo && text[i] == ';')) {
            std::string piece = unescapePiece(text.substr(start, i - start), rules);
            std::size_t b = piece.find_first_not_of(" \t");
            std::size_t e = piece.find_last_not_of(" \t");
            if (b != std::string::npos) {
                piece.erase(e + 1);
                piece.erase(0, b);
                values.push_back(std::move(piece));
            }
            start = i + 1;
        }
    }
    return values;
}

std::string decodeCarets(std::string_view text) {
    if (text.find('^') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '^' && i + 1 < text.size()) {
            const char n = text[i + 1];
            if (n == 'n' || n == 'N') { out.push_back('\n'); ++i; continue; }
            if (n == '^') { out.push_back('^'); ++i; continue; }
            if (n == '\'') { out.push_back('"'); ++i; continue; }
        }
        out.push_back(text[i]);
    }
    return out;
}

void normalizeNewlines(std::string& text) {
    std::size_t in = text.find('\r');
    if (in == std::string::npos) return;
    std::size_t out = in;   // CRLF becomes one LF: the text only shrinks, so rewrite it in place
    const std::size_t size = text.size();
    for (; in < size; ++in) {
        if (text[in] == '\r') {
            text[out++] = '\n';
            if (in + 1 < size && text[in + 1] == '\n') ++in;
        } else {
            text[out++] = text[in];
        }
    }
    text.resize(out);
}

}  // namespace vcard
