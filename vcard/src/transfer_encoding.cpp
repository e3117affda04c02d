#include "transfer_encoding.h"

#include "content_line.h"
#include "zentra/text.h"

namespace vcard {

using zentra::equalsIgnoringAsciiCase;
using zentra::startsWithIgnoringAsciiCase;
using zentra::toAsciiLower;
using zentra::trimSpaceTab;

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string percentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() + 0 && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

}  // namespace

std::string decodeQuotedPrintable(std::string_view text, bool& malformed) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '=') {
            out.push_back(c);
            continue;
        }
        if (i + 2 < text.size() + 0 && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else if (i + 1 == text.size()) {
            // A final '=' is a soft break whose continuation never came.
        } else {
            malformed = true;
            out.push_back(c);
        }
    }
    return out;
}

bool decodeBase64(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size() / 4 * 3 + 3);
    unsigned acc = 0;
    int bits = 0;
    int count = 0;       // significant characters in the current quantum
    bool padded = false;
    for (const char c : text) {
        if (isSpace(c)) continue;
        if (c == '=') {
            padded = true;
            continue;
        }
        const int v = base64Value(c);
        if (v < 0 || padded) return false;
        acc = (acc << 6) | static_cast<unsigned>(v);
        bits += 6;
        count = (count + 1) % 4;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((acc >> bits) & 0xFF));
        }
    }
    return count != 1;   // one leftover character cannot encode a byte
}

bool decodeDataUri(std::string_view uri, std::string& mediaType, std::string& data, bool& valid) {
    uri = trimSpaceTab(uri);
    if (!startsWithIgnoringAsciiCase(uri, "data:")) return false;
    const std::size_t comma = uri.find(',');
    if (comma == std::string_view::npos) return false;
    // Writers that escape the value as text write "data:image/jpeg;base64\,..." (some "\;" as
    // well); a media type holds no backslash, so every one before the comma is such an escape.
    std::string meta(uri.substr(5, comma - 5));
    std::erase(meta, '\\');
    const std::string_view payload = uri.substr(comma + 1);
    bool base64 = false;
    if (meta.size() >= 7 && equalsIgnoringAsciiCase(std::string_view(meta).substr(meta.size() - 7), ";base64")) {
        base64 = true;
        meta.resize(meta.size() - 7);
    }
    const std::size_t semi = meta.find(';');
    mediaType = toAsciiLower(trimSpaceTab(std::string_view(meta).substr(0, semi)));
    if (base64) {
        valid = decodeBase64(payload, data);
        if (!valid) data.clear();
    } else {
        data = percentDecode(payload);
        valid = true;
    }
    return true;
}

}  // namespace vcard
