#include "text_escapes.h"

#include <algorithm>

namespace vcard {

namespace {

// One piece of a structured or list value, unescaped into `out` (whose storage is reused).
void unescapePieceInto(std::string_view piece, EscapeRules rules, std::string& out) {
    out.assign(piece);
    if (rules == EscapeRules::V30) {
        unescapeTextInPlace(out);
        return;
    }
    std::size_t in = out.find('\\');
    if (in == std::string::npos) return;
    std::size_t kept = in;   // unescaping only shortens the text: rewrite it in place
    const std::size_t size = out.size();
    for (; in < size; ++in) {
        const char c = out[in];
        if (c == '\\' && in + 1 < size) {
            const char n = out[in + 1];
            if (n == ';' || n == ',' || n == '\\' || n == ':') {
                out[kept++] = n;
                ++in;
                continue;
            }
        }
        out[kept++] = c;
    }
    out.resize(kept);
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
    // Lists and strings already in `components` are filled again: their storage is reused.
    components.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), ';')) + 1);
    std::size_t used = 0;    // components filled so far, the last one being filled
    std::size_t items = 0;   // pieces kept in that one
    auto nextComponent = [&] {
        if (used > 0) components[used - 1].resize(items);
        if (used == components.size()) components.emplace_back();
        ++used;
        items = 0;
    };
    nextComponent();
    std::size_t start = 0;
    // Empty pieces are left out, so an empty component is an empty list and costs nothing.
    auto endPiece = [&](std::size_t end) {
        if (end > start) {
            std::vector<std::string>& list = components[used - 1];
            if (items == list.size()) list.emplace_back();
            unescapePieceInto(text.substr(start, end - start), rules, list[items]);
            if (!list[items].empty()) ++items;
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
    components[used - 1].resize(items);
    components.erase(components.begin() + static_cast<std::ptrdiff_t>(used), components.end());
}

void splitList(std::string_view text, EscapeRules rules, bool semicolonToo, std::vector<std::string>& values) {
    std::size_t kept = 0;   // values filled so far; the strings after them are reused storage
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] == '\\') {
            if (i + 1 < text.size()) ++i;
            continue;
        }
        if (i == text.size() || text[i] == ',' || (semicolonToo && text[i] == ';')) {
            if (kept == values.size()) values.emplace_back();
            std::string& piece = values[kept];
            unescapePieceInto(text.substr(start, i - start), rules, piece);
            const std::size_t b = piece.find_first_not_of(" \t");
            if (b != std::string::npos) {
                piece.erase(piece.find_last_not_of(" \t") + 1);
                piece.erase(0, b);
                ++kept;
            }
            start = i + 1;
        }
    }
    values.resize(kept);
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
