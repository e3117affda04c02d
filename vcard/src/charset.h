#pragma once
// Turns the bytes of a text value into UTF-8: the CHARSET parameter through iconv, otherwise
// UTF-8 when the bytes are valid UTF-8 and the legacy charset when they are not.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace vcard {

class CharsetDecoder {
public:
    // `legacyCharset`: an iconv name; empty, or a name isUsableLegacyCharset refuses, means
    // WINDOWS-1252.
    explicit CharsetDecoder(std::string legacyCharset);
    ~CharsetDecoder();
    CharsetDecoder(const CharsetDecoder&) = delete;
    CharsetDecoder& operator=(const CharsetDecoder&) = delete;

    // Decodes `bytes`; `charset` may be empty. When the charset is unknown or the bytes do not
    // fit it, the result comes from the default rule and `problem` explains what happened.
    // The result replaces the content of `out` (whose storage is reused).
    void decode(std::string_view bytes, std::string_view charset, std::string& out, std::string& problem);

    // The legacy charset actually used, and how many texts without CHARSET it has decoded so
    // far: the reader tells the user once per card that it had to assume it.
    const std::string& legacyCharset() const { return legacy_; }
    std::size_t legacyDecodes() const { return legacyDecodes_; }

private:
    struct Converter {
        void* cd = nullptr;             // iconv_t, null when iconv does not know the charset
        bool keepsPlainAscii = false;   // printable ASCII, tab and line ends decode to themselves
    };

    void decodeDefault(std::string_view bytes, std::string& out);   // UTF-8 when valid, else legacy
    void decodeLegacy(std::string_view bytes, std::string& out);
    const Converter& converter(const std::string& upperName);
    bool convert(const Converter& converter, std::string_view bytes, std::string& out, bool lenient);

    std::string legacy_;
    bool legacyIs1252_;
    std::size_t legacyDecodes_ = 0;
    std::map<std::string, Converter> converters_;   // by upper-case charset name
};

}  // namespace vcard
