// The window reads 8-bit text without a CHARSET in the code page of the system's locale.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/locale_import_settings.h"

namespace {

// The locale variables in POSIX's order of precedence: the first set one names the locale.
TEST(LocaleImportSettings, LegacyCharsetFollowsTheLocaleVariables) {
    struct Case {
        const char *lcAll, *lcCtype, *lang, *expected;
    };
    const Case cases[] = {
        {"", "", "pl_PL.UTF-8", "CP1250"},
        {"", "ru_RU", "pl_PL.UTF-8", "CP1251"},
        {"cs_CZ", "ru_RU", "de_DE", "CP1250"},
        {"", "", "de_DE.UTF-8", "CP1252"},
        {"", "", "", "CP1252"},
    };
    for (const Case& c : cases) {
        setenv("LC_ALL", c.lcAll, 1);
        setenv("LC_CTYPE", c.lcCtype, 1);
        setenv("LANG", c.lang, 1);
        EXPECT_EQ(app::importSettingsFromLocale().mapping.reader.fallbackCharset, c.expected) << c.lang << c.lcCtype << c.lcAll;
    }
}

}  // namespace
