#include "line_reader.h"

#include <algorithm>
#include <cstring>

#include "zentra/text.h"

namespace vcard {

using zentra::equalsIgnoringAsciiCase;
using zentra::trimSpaceTab;

namespace {

bool isBlank(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool isBase64Text(std::string_view s) {
    for (const char c : s) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                        c == '+' || c == '/' || c == '=' || c == ' ' || c == '\t';
        if (!ok) return false;
    }
    return true;
}

// What the name and parameters say about how the value continues.
struct ValueKind {
    bool quotedPrintable = false;
    bool base64 = false;
    bool address = false;   // ADR / LABEL: a trailing backslash may continue the value
};

// Position of `c` in `s`, or npos. For the few bytes of a property name, where the set-up of a
// memchr call costs more than the search.
std::size_t findInName(std::string_view s, char c) {
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] == c) return i;
    return std::string_view::npos;
}

ValueKind classify(std::string_view header) {
    ValueKind kind;
    const std::size_t semi = findInName(header, ';');
    std::string_view name = header.substr(0, semi);
    if (const std::size_t dot = findInName(name, '.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
    kind.address = equalsIgnoringAsciiCase(name, "ADR") || equalsIgnoringAsciiCase(name, "LABEL");
    if (semi == std::string_view::npos) return kind;
    const std::string_view params = header.substr(semi);
    if (params.size() < 7) return kind;   // too short for any encoding parameter
    for (std::size_t i = 0; i < params.size(); ++i) {   // one pass: look closer only at Q and B
        const char c = params[i];
        if (c == 'Q' || c == 'q') {
            kind.quotedPrintable = kind.quotedPrintable || equalsIgnoringAsciiCase(params.substr(i, 16), "QUOTED-PRINTABLE");
        } else if (c == 'B' || c == 'b') {
            const std::string_view rest = params.substr(i);
            const bool encodingB = i >= 9 && equalsIgnoringAsciiCase(params.substr(i - 9, 9), "ENCODING=") &&
                                   (rest.size() == 1 || rest[1] == ';');
            kind.base64 = kind.base64 || encodingB || equalsIgnoringAsciiCase(rest.substr(0, 6), "BASE64");
        }
    }
    return kind;
}

}  // namespace

std::size_t findValueColon(std::string_view line, bool startsQuoted) {
    const void* colon = std::memchr(line.data(), ':', line.size());
    if (!colon) return std::string_view::npos;
    const std::size_t first = static_cast<std::size_t>(static_cast<const char*>(colon) - line.data());
    // No quotes before it: the usual case.
    if (!startsQuoted && !std::memchr(line.data(), '"', first)) return first;
    bool quoted = startsQuoted;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') quoted = !quoted;
        else if (c == ':' && !quoted) return i;
    }
    // An unbalanced quote: fall back to the first colon at all.
    return first;
}

PhysicalLineReader::PhysicalLineReader(DecodingSource& source, std::size_t maxLineBytes)
    : source_(source), maxLineBytes_(maxLineBytes) {}

void PhysicalLineReader::restart() {
    buffer_.clear();
    pos_ = 0;
    lineNumber_ = 0;
    eof_ = false;
}

bool PhysicalLineReader::fill() {
    if (eof_) return false;
    if (pos_ > 0) {   // keep only the unread tail
        buffer_.erase(0, pos_);
        pos_ = 0;
        // After a huge line, give its memory back instead of keeping it for the rest of the file.
        if (buffer_.capacity() > (4u << 20) && buffer_.size() < buffer_.capacity() / 4) buffer_.shrink_to_fit();
    }
    if (source_.read(buffer_) == 0) {
        eof_ = true;
        return false;
    }
    return true;
}

bool PhysicalLineReader::next(PhysicalLine& line) {
    std::size_t scanFrom = pos_;
    bool skipping = false;   // inside an over-long line: discard until its end
    for (;;) {
        const char* begin = buffer_.data() + scanFrom;
        const char* end = buffer_.data() + buffer_.size();
        // memchr for LF, then for a CR before it (bare CR files have no LF at all).
        const char* hit = static_cast<const char*>(std::memchr(begin, '\n', static_cast<std::size_t>(end - begin)));
        if (!hit) hit = end;
        if (const void* cr = std::memchr(begin, '\r', static_cast<std::size_t>(hit - begin))) hit = static_cast<const char*>(cr);
        if (hit != end) {
            const std::size_t eol = static_cast<std::size_t>(hit - buffer_.data());
            if (*hit == '\r' && eol + 1 == buffer_.size() && !eof_) {
                // CR at the end of the buffer: look at the next chunk for its LF.
                const std::size_t rel = eol - pos_;
                fill();   // moves the unread tail to the front, even at the end of input
                scanFrom = pos_ + rel;
                continue;
            }
            std::size_t nextPos = eol + 1;
            if (*hit == '\r' && nextPos < buffer_.size() && buffer_[nextPos] == '\n') ++nextPos;
            ++lineNumber_;
            line.number = lineNumber_;
            line.tooLong = skipping || eol - pos_ > maxLineBytes_;
            line.text = line.tooLong ? std::string_view() : std::string_view(buffer_.data() + pos_, eol - pos_);
            pos_ = nextPos;
            return true;
        }
        if (buffer_.size() - pos_ > maxLineBytes_) {   // drop what we have of an over-long line
            skipping = true;
            buffer_.clear();
            pos_ = 0;
        }
        const std::size_t rel = buffer_.size() - pos_;
        if (!fill()) {
            if (buffer_.size() == pos_ && !skipping) return false;
            ++lineNumber_;
            line.number = lineNumber_;
            line.tooLong = skipping;
            line.text = skipping ? std::string_view() : std::string_view(buffer_.data() + pos_, buffer_.size() - pos_);
            pos_ = buffer_.size();
            return true;
        }
        scanFrom = pos_ + rel;
    }
}

LogicalLineReader::LogicalLineReader(PhysicalLineReader& physical, std::size_t maxLineBytes)
    : physical_(physical), maxLineBytes_(maxLineBytes) {}

void LogicalLineReader::restart() {
    lookahead_ = PhysicalLine{};
    havePeek_ = false;
    atEnd_ = false;
}

bool LogicalLineReader::peek() {
    if (havePeek_) return true;
    if (atEnd_) return false;
    if (!physical_.next(lookahead_)) {
        atEnd_ = true;
        return false;
    }
    havePeek_ = true;
    return true;
}

bool LogicalLineReader::next(LogicalLine& out) {
    // Skip blank lines between properties.
    for (;;) {
        if (!peek()) return false;
        if (!lookahead_.tooLong && isBlank(lookahead_.text)) {
            consume();
            continue;
        }
        break;
    }
    out.number = lookahead_.number;
    out.tooLong = lookahead_.tooLong;
    const std::string_view first = lookahead_.text;
    // Lenient about indented lines. A plain loop: nearly every line starts with its name, and
    // find_first_not_of would search the set " \t" once per byte looked at.
    std::size_t start = 0;
    while (start < first.size() && (first[start] == ' ' || first[start] == '\t')) ++start;
    out.text.assign(first.substr(start));
    consume();

    std::size_t colon = out.tooLong ? std::string::npos : findValueColon(out.text);
    ValueKind kind = colon == std::string::npos ? ValueKind{} : classify(std::string_view(out.text).substr(0, colon));
    // While no colon has been seen, only the appended pieces are searched (searching the whole
    // text again after each continuation would take quadratic time on a long colon-less line).
    // Until the first colon the text holds none, so the quote state is just the count of quotes.
    bool quoted = colon == std::string::npos && !out.tooLong && std::count(out.text.begin(), out.text.end(), '"') % 2 == 1;
    auto append = [&](std::string_view piece) {
        if (out.tooLong) return;
        if (out.text.size() + piece.size() > maxLineBytes_) {
            out.tooLong = true;
            out.text.clear();
            out.text.shrink_to_fit();
            return;
        }
        const std::size_t offset = out.text.size();
        out.text.append(piece);
        if (colon != std::string::npos) return;
        const std::size_t inPiece = findValueColon(piece, quoted);
        if (inPiece == std::string::npos) {
            quoted = quoted != (std::count(piece.begin(), piece.end(), '"') % 2 == 1);
            return;
        }
        colon = offset + inPiece;
        kind = classify(std::string_view(out.text).substr(0, colon));
    };

    while (peek()) {
        const PhysicalLine& next = lookahead_;
        // A huge line cannot be inspected any more; it is reported on its own.
        if (next.tooLong) break;
        const std::string_view text = next.text;
        const bool valueSeen = colon != std::string::npos;
        // Blank lines may sit between a line and its folded continuation (iOS writes CR CR LF,
        // which splits into a line and an empty one); a blank line ends nothing by itself.
        if (isBlank(text) && !(valueSeen && kind.quotedPrintable && !out.text.empty() && out.text.back() == '=')) {
            consume();
            continue;
        }
        // Quoted-printable soft break: the next line continues the value whatever it starts with.
        if (valueSeen && kind.quotedPrintable && !out.tooLong && !out.text.empty() && out.text.back() == '=' &&
            !equalsIgnoringAsciiCase(trimSpaceTab(text), "END:VCARD")) {
            out.text.pop_back();
            append(text);
            consume();
            continue;
        }
        if (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {   // folding
            append(text.substr(1));
            consume();
            continue;
        }
        // Unindented 2.1 base64 lines: anything made only of base64 characters.
        if (valueSeen && kind.base64 && !text.empty() && !isBlank(text) && isBase64Text(text)) {
            append(text);
            consume();
            continue;
        }
        // Android writes address lines ending in a backslash followed by a raw line break.
        if (valueSeen && kind.address && !out.text.empty() && out.text.back() == '\\' && !isBlank(text) &&
            text.find(':') == std::string_view::npos) {
            out.text.back() = '\n';
            append(text);
            consume();
            continue;
        }
        break;
    }
    out.colon = colon;
    return true;
}

}  // namespace vcard
