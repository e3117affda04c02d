#pragma once
// Turns the bytes of a text value into UTF-8: the CHARSET parameter through iconv, otherwise
// UTF-8 when the bytes are valid UTF-8 and the fallback code page when they are not.
#include <map>
#include <string>
#include <string_view>

namespace vcard {

class CharsetDecoder {
public:
    explicit CharsetDecoder(std::string fallbackCharset);
    ~CharsetDecoder();
    CharsetDecoder(const CharsetDecoder&) = delete;
    CharsetDecoder& operator=(const CharsetDecoder&) = delete;

    // Decodes `bytes`; `charset` may be empty. When the charset is unknown or the bytes do not
    // fit it, the result comes from the default rule and `problem` explains what happened.
    // The result replaces the content of `out` (whose storage is reused).
    void decode(std::string_view bytes, std::string_view charset, std::string& out, std::string& problem);

private:
    void decodeDefault(std::string_view bytes, std::string& out);
    bool convert(std::string_view bytes, const std::string& charset, std::string& out);

    std::string fallback_;
    bool fallbackIs1252_;
    std::map<std::string, void*> converters_;   // upper-case charset -> iconv_t (or null if unknown)
};

}  // namespace vcard
