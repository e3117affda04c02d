#pragma once
// The legacy charset: what 8-bit text without a CHARSET parameter is read in when it is not
// UTF-8 (ReaderOptions::fallbackCharset). Old Outlook versions and phones wrote such text in the
// Windows code page of the writer's language, so the importing machine's locale is the best
// guess when the user names none.
//
//   options.fallbackCharset = vcard::legacyCharsetForLocale(lang, nl_langinfo(CODESET));
#include <string>
#include <string_view>

namespace vcard {

// Whether `name` can be the legacy charset: iconv knows it and it reads ASCII as ASCII
// (UTF-16, UTF-7 or EBCDIC cannot stand in for text that is mostly ASCII).
bool isUsableLegacyCharset(std::string_view name);

// The Windows code page a locale implies: "pl_PL.UTF-8" -> "CP1250", "ru" -> "CP1251",
// "ja_JP" -> "CP932", "de_DE" -> "CP1252". `locale` is a POSIX locale name as in LANG or
// LC_ALL (language[_territory][.codeset][@modifier]); `codeset` the locale's charset
// (nl_langinfo(CODESET)), may be empty. A legacy codeset decides (ISO-8859-2 -> CP1250),
// otherwise the language does; CP1252 when neither implies another code page.
std::string legacyCharsetForLocale(std::string_view locale, std::string_view codeset = {});

}  // namespace vcard
