#pragma once
// Backslash escapes and the splitting of structured and list values, per vCard version, and
// the RFC 6868 caret escapes of parameter values.
#include <string>
#include <string_view>
#include <vector>

namespace vcard {

// 2.1 knows only a few escapes; 3.0 and 4.0 share theirs.
enum class EscapeRules { V21, V30 };

// A plain text value. 3.0/4.0: \n \N newline, \\ \, \; and any other "\x" as x (Gmail writes
// "http\://"). 2.1: backslashes are literal.
std::string unescapeText(std::string_view text, EscapeRules rules);
// The same for 3.0/4.0 rules, in place (unescaping only ever shortens the text).
void unescapeTextInPlace(std::string& text);

// A structured value: split on unescaped ';', then (when `lists`) each component on unescaped
// ',', then unescape each piece. 2.1 resolves \; \, \\ \: and keeps other backslashes.
// The result replaces the content of `components`, whose storage is reused.
void splitStructured(std::string_view text, EscapeRules rules, bool lists, std::vector<std::vector<std::string>>& components);

// A list value (CATEGORIES, NICKNAME): split on unescaped ',' (and ';' when `semicolonToo`),
// each value trimmed, empty ones left out. The result replaces the content of `values`, whose
// storage is reused.
void splitList(std::string_view text, EscapeRules rules, bool semicolonToo, std::vector<std::string>& values);

// RFC 6868: ^n newline, ^^ caret, ^' double quote; other carets stay.
std::string decodeCarets(std::string_view text);

// CRLF and bare CR become LF.
void normalizeNewlines(std::string& text);

}  // namespace vcard
