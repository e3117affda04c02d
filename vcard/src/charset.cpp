#include "charset.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>

#include "utf8.h"

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

}  // namespace

CharsetDecoder::CharsetDecoder(std::string fallbackCharset)
    : fallback_(upper(fallbackCharset)), fallbackIs1252_(isWindows1252(fallback_) || fallback_.empty()) {}

CharsetDecoder::~CharsetDecoder() {
    for (auto& [name, cd] : converters_)
        if (cd) iconv_close(static_cast<iconv_t>(cd));
}

void CharsetDecoder::decodeDefault(std::string_view bytes, std::string& out) {
    if (isValidUtf8(bytes)) {
        out.assign(bytes);
        return;
    }
    if (!fallbackIs1252_ && convert(bytes, fallback_, out)) return;
    out = windows1252ToUtf8(bytes);
}

void CharsetDecoder::decode(std::string_view bytes, std::string_view charset, std::string& out, std::string& problem) {
    // Most values are ASCII or UTF-8 without a CHARSET: one validating pass and a plain copy.
    if (charset.empty()) {
        decodeDefault(bytes, out);
        return;
    }
    if (isAscii(bytes)) {
        out.assign(bytes);
        return;
    }
    const std::string name = upper(charset);
    if (isUtf8Name(name)) {
        if (isValidUtf8(bytes)) {
            out.assign(bytes);
            return;
        }
        problem = "text is not valid " + std::string(charset) + "; read as " +
                  (fallback_.empty() ? std::string("WINDOWS-1252") : fallback_);
        decodeDefault(bytes, out);
        return;
    }
    if (isWindows1252(name)) {
        out = windows1252ToUtf8(bytes);
        return;
    }
    if (convert(bytes, name, out)) return;
    problem = "cannot decode text as " + std::string(charset) + "; read with the default rule";
    decodeDefault(bytes, out);
}

bool CharsetDecoder::convert(std::string_view bytes, const std::string& charset, std::string& out) {
    auto it = converters_.find(charset);
    if (it == converters_.end()) {
        iconv_t cd = iconv_open("UTF-8", charset.c_str());
        it = converters_.emplace(charset, cd == kNoConverter ? nullptr : static_cast<void*>(cd)).first;
    }
    if (!it->second) return false;
    auto cd = static_cast<iconv_t>(it->second);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);   // reset shift state
    out.assign(bytes.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return false;
    iconv(cd, nullptr, nullptr, &dst, &outLeft);
    out.resize(out.size() - outLeft);
    return isValidUtf8(out);
}

}  // namespace vcard
