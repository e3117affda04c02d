#include "charset.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>

#include "utf8.h"
#include "vcard/legacy_charset.h"

namespace vcard {

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool isWindows1252(const std::string& upperName) {
    return upperName == "WINDOWS-1252" || upperName == "CP1252" || upperName == "WIN-1252";
}

bool isUtf8Name(const std::string& upperName) {
    return upperName == "UTF-8" || upperName == "UTF8" || upperName == "US-ASCII" ||
           upperName == "ASCII";
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

bool isPlainAsciiByte(unsigned char c) { return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\n' || c == '\r'; }

// Printable ASCII, tab and line ends: the bytes most values consist of entirely.
bool isPlainAscii(std::string_view bytes) {
    for (const char c : bytes)
        if (!isPlainAsciiByte(static_cast<unsigned char>(c))) return false;
    return true;
}

// Whether every plain ASCII byte decodes to itself. Not so for UTF-7 ('+' starts a shift),
// HZ ('~'), UTF-16 or EBCDIC, whose text may well be written in ASCII bytes; Shift_JIS reads
// '\' as a yen sign.
bool keepsPlainAscii(iconv_t cd) {
    std::string probe;
    for (int c = 0; c < 0x80; ++c)
        if (isPlainAsciiByte(static_cast<unsigned char>(c))) probe.push_back(static_cast<char>(c));
    std::string out(probe.size() * 4, '\0');
    char* in = probe.data();
    std::size_t inLeft = probe.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &dst, &outLeft) == static_cast<std::size_t>(-1))
        return false;
    out.resize(out.size() - outLeft);
    return out == probe;
}

}  // namespace

bool isUsableLegacyCharset(std::string_view name) {
    const std::string upperName = upper(name);
    if (upperName.empty() || upperName.find_first_of(" /") != std::string::npos) return false;   // no //TRANSLIT
    if (isWindows1252(upperName)) return true;
    const iconv_t cd = iconv_open("UTF-8", upperName.c_str());
    if (cd == kNoConverter) return false;
    const bool ok = keepsPlainAscii(cd);
    iconv_close(cd);
    return ok;
}

CharsetDecoder::CharsetDecoder(std::string legacyCharset)
    : legacy_(isUsableLegacyCharset(legacyCharset) ? upper(legacyCharset) : std::string("WINDOWS-1252")),
      legacyIs1252_(isWindows1252(legacy_)) {}

CharsetDecoder::~CharsetDecoder() {
    for (auto& [name, converter] : converters_)
        if (converter.cd) iconv_close(static_cast<iconv_t>(converter.cd));
}

void CharsetDecoder::decodeLegacy(std::string_view bytes, std::string& out) {
    if (legacyIs1252_ || !convert(converter(legacy_), bytes, out, true)) out = windows1252ToUtf8(bytes);
}

void CharsetDecoder::decodeDefault(std::string_view bytes, std::string& out) {
    if (isValidUtf8(bytes)) out.assign(bytes);
    else decodeLegacy(bytes, out);
}

void CharsetDecoder::decode(std::string_view bytes, std::string_view charset, std::string& out, std::string& problem) {
    // Most values are ASCII or UTF-8 without a CHARSET: one validating pass and a plain copy.
    if (charset.empty()) {
        if (isValidUtf8(bytes)) {
            out.assign(bytes);
            return;
        }
        // Only here is the legacy charset an assumption; below, `problem` says what was used.
        ++legacyDecodes_;
        decodeLegacy(bytes, out);
        return;
    }
    const std::string name = upper(charset);
    if (isUtf8Name(name)) {
        if (isValidUtf8(bytes)) {
            out.assign(bytes);
            return;
        }
        problem = "text is not valid " + std::string(charset) + "; read as " + legacy_;
        decodeDefault(bytes, out);
        return;
    }
    if (isWindows1252(name)) {
        out = windows1252ToUtf8(bytes);
        return;
    }
    const Converter& known = converter(name);
    // ASCII under a name iconv does not know: there is nothing to guess.
    if ((!known.cd || known.keepsPlainAscii) && isPlainAscii(bytes)) {
        out.assign(bytes);
        return;
    }
    if (known.cd && convert(known, bytes, out, false)) return;
    problem = "cannot decode text as " + std::string(charset) + "; read with the default rule";
    decodeDefault(bytes, out);
}

const CharsetDecoder::Converter& CharsetDecoder::converter(const std::string& upperName) {
    auto it = converters_.find(upperName);
    if (it != converters_.end()) return it->second;
    Converter converter;
    const iconv_t cd = iconv_open("UTF-8", upperName.c_str());
    if (cd != kNoConverter) {
        converter.cd = static_cast<void*>(cd);
        converter.keepsPlainAscii = keepsPlainAscii(cd);
    }
    return converters_.emplace(upperName, converter).first->second;
}

// `lenient`: a byte the charset does not define stands for the character of the same number
// (a C1 control for most), as windows1252ToUtf8 reads the five bytes Windows-1252 leaves open;
// otherwise such a byte fails the conversion.
bool CharsetDecoder::convert(const Converter& converter, std::string_view bytes, std::string& out, bool lenient) {
    auto cd = static_cast<iconv_t>(converter.cd);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);   // reset shift state
    out.assign(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<std::size_t>(-1)) break;
        if (!lenient || (errno != EILSEQ && errno != EINVAL) || outLeft < 2) return false;
        const auto c = static_cast<unsigned char>(*in);
        if (c < 0x80) {
            *dst++ = static_cast<char>(c);
            --outLeft;
        } else {
            *dst++ = static_cast<char>(0xC0 | (c >> 6));
            *dst++ = static_cast<char>(0x80 | (c & 0x3F));
            outLeft -= 2;
        }
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv(cd, nullptr, nullptr, &dst, &outLeft);
    out.resize(out.size() - outLeft);
    return isValidUtf8(out);
}

}  // namespace vcard
