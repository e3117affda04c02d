// The Windows code page of a locale: the ANSI code page Windows gives a system of that language,
// which is what its programs wrote 8-bit text in.
#include "vcard/legacy_charset.h"

#include "content_line.h"
#include "zentra/text.h"

namespace vcard {

using zentra::toAsciiLower;
using zentra::toAsciiUpper;

namespace {

struct LocaleName {
    std::string language;    // lower case: "pl", "zh"
    std::string territory;   // upper case: "PL", "TW"
    std::string codeset;     // upper case without '-' and '_': "UTF8", "ISO88592"
    std::string modifier;    // lower case: "latin", "cyrillic"
};

std::string codesetKey(std::string_view codeset) {
    std::string key;
    for (const char c : codeset)
        if (c != '-' && c != '_') key.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
    return key;
}

// language[_territory][.codeset][@modifier]
LocaleName parseLocale(std::string_view locale) {
    LocaleName name;
    const std::size_t at = locale.find('@');
    if (at != std::string_view::npos) {
        name.modifier = toAsciiLower(locale.substr(at + 1));
        locale = locale.substr(0, at);
    }
    const std::size_t dot = locale.find('.');
    if (dot != std::string_view::npos) {
        name.codeset = codesetKey(locale.substr(dot + 1));
        locale = locale.substr(0, dot);
    }
    const std::size_t underscore = locale.find('_');
    name.language = toAsciiLower(locale.substr(0, underscore));
    if (underscore != std::string_view::npos) name.territory = toAsciiUpper(locale.substr(underscore + 1));
    return name;
}

// A legacy codeset names its code page outright; UTF-8 and unknown codesets say nothing.
const char* codePageOfCodeset(const std::string& key) {
    static constexpr struct { std::string_view codeset; const char* codePage; } table[] = {
        {"ISO88591", "CP1252"},  {"ISO885915", "CP1252"}, {"ISO88592", "CP1250"},  {"ISO88595", "CP1251"},
        {"KOI8R", "CP1251"},     {"KOI8U", "CP1251"},     {"CP866", "CP1251"},     {"ISO88597", "CP1253"},
        {"ISO88599", "CP1254"},  {"ISO88598", "CP1255"},  {"ISO88596", "CP1256"},  {"ISO88594", "CP1257"},
        {"ISO885913", "CP1257"}, {"TCVN57121", "CP1258"}, {"VISCII", "CP1258"},    {"TIS620", "CP874"},
        {"ISO885911", "CP874"},  {"EUCJP", "CP932"},      {"SJIS", "CP932"},       {"SHIFTJIS", "CP932"},
        {"GB2312", "CP936"},     {"GBK", "CP936"},        {"GB18030", "CP936"},    {"EUCCN", "CP936"},
        {"BIG5", "CP950"},       {"BIG5HKSCS", "CP950"},  {"EUCTW", "CP950"},      {"EUCKR", "CP949"},
    };
    for (const auto& row : table)
        if (key == row.codeset) return row.codePage;
    return nullptr;
}

const char* codePageOfLanguage(const LocaleName& name) {
    const std::string& l = name.language;
    if (l == "zh") return name.territory == "TW" || name.territory == "HK" || name.territory == "MO" ? "CP950" : "CP936";
    // Serbian and Uzbek are written in either script: the modifier says which.
    if (l == "sr") return name.modifier == "latin" ? "CP1250" : "CP1251";
    if (l == "uz") return name.modifier == "cyrillic" ? "CP1251" : "CP1254";
    static constexpr struct { std::string_view language; const char* codePage; } table[] = {
        {"cs", "CP1250"}, {"pl", "CP1250"}, {"sk", "CP1250"}, {"hu", "CP1250"}, {"sl", "CP1250"},
        {"hr", "CP1250"}, {"ro", "CP1250"}, {"bs", "CP1250"}, {"sq", "CP1250"}, {"sh", "CP1250"},
        {"ru", "CP1251"}, {"uk", "CP1251"}, {"be", "CP1251"}, {"bg", "CP1251"}, {"mk", "CP1251"},
        {"kk", "CP1251"}, {"ky", "CP1251"}, {"tt", "CP1251"}, {"mn", "CP1251"}, {"tg", "CP1251"},
        {"el", "CP1253"}, {"tr", "CP1254"}, {"az", "CP1254"}, {"he", "CP1255"}, {"iw", "CP1255"},
        {"yi", "CP1255"}, {"ar", "CP1256"}, {"fa", "CP1256"}, {"ur", "CP1256"}, {"ps", "CP1256"},
        {"et", "CP1257"}, {"lv", "CP1257"}, {"lt", "CP1257"}, {"vi", "CP1258"}, {"th", "CP874"},
        {"ja", "CP932"},  {"ko", "CP949"},
    };
    for (const auto& row : table)
        if (l == row.language) return row.codePage;
    return nullptr;
}

}  // namespace

std::string legacyCharsetForLocale(std::string_view locale, std::string_view codeset) {
    const LocaleName name = parseLocale(locale);
    const std::string key = codeset.empty() ? name.codeset : codesetKey(codeset);
    // A Windows code page as the codeset (CP1250, WINDOWS-1250) is the answer itself.
    for (const std::string_view prefix : {"CP125", "WINDOWS125"})
        if (key.size() == prefix.size() + 1 && key.compare(0, prefix.size(), prefix) == 0 && key.back() >= '0' &&
            key.back() <= '8')
            return "CP125" + std::string(1, key.back());
    if (const char* page = codePageOfCodeset(key)) return page;
    if (const char* page = codePageOfLanguage(name)) return page;
    return "CP1252";
}

}  // namespace vcard
