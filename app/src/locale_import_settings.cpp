#include "app/locale_import_settings.h"

#include <langinfo.h>

#include <cstdlib>
#include <string_view>

#include "vcard/legacy_charset.h"

namespace app {

zentra::mailstore::SessionOptions importSettingsFromLocale(zentra::mailstore::SessionOptions settings) {
    std::string_view locale;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            locale = value;
            break;
        }
    }
    const char* codeset = nl_langinfo(CODESET);
    settings.mapping.reader.fallbackCharset = vcard::legacyCharsetForLocale(locale, codeset ? codeset : "");
    return settings;
}

}  // namespace app
