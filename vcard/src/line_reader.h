#pragma once
// Physical lines (split on CRLF, LF and bare CR) and logical lines: folded continuations
// joined at byte level, before any decoding, plus the continuations real exports write without
// leading white space (quoted-printable soft breaks, unindented 2.1 base64, a trailing
// backslash inside an address).
#include <cstddef>
#include <string>
#include <string_view>

#include "byte_source.h"

namespace vcard {

struct PhysicalLine {
    std::string_view text;      // valid until the next call
    std::size_t number = 0;     // 1-based
    bool tooLong = false;       // longer than the limit: text is empty, the line was skipped
};

class PhysicalLineReader {
public:
    PhysicalLineReader(DecodingSource& source, std::size_t maxLineBytes);
    bool next(PhysicalLine& line);
    void restart();   // the source restarted: from its first line, keeping the buffer's storage

private:
    bool fill();   // reads one more chunk; false at the end

    DecodingSource& source_;
    std::size_t maxLineBytes_;
    std::string buffer_;
    std::size_t pos_ = 0;
    std::size_t lineNumber_ = 0;
    bool eof_ = false;
};

struct LogicalLine {
    std::string text;
    std::size_t number = 0;     // line where it starts
    std::size_t colon = std::string::npos;   // the name/value colon, when found
    bool tooLong = false;       // dropped because it exceeded the limit
};

class LogicalLineReader {
public:
    LogicalLineReader(PhysicalLineReader& physical, std::size_t maxLineBytes);
    // Next non-blank logical line; false at the end of input.
    bool next(LogicalLine& line);
    void restart();   // the physical lines restarted

private:
    bool peek();                  // loads the next physical line into lookahead_
    void consume() { havePeek_ = false; }

    PhysicalLineReader& physical_;
    std::size_t maxLineBytes_;
    PhysicalLine lookahead_;
    bool havePeek_ = false;
    bool atEnd_ = false;
};

// Position of the ':' that ends the name and parameters (the first one outside double
// quotes; with unbalanced quotes the first one at all), or npos. `startsQuoted`: the text
// before `line` left a double quote open.
std::size_t findValueColon(std::string_view line, bool startsQuoted = false);

}  // namespace vcard
