#pragma once
// The window's import settings. The window has no charset option: 8-bit text without a CHARSET
// that is not UTF-8 is read in the legacy code page the system's locale implies (pl_PL ->
// Windows-1250), since old Outlook versions wrote such text in the writer's own code page.
#include "mailstore/session_options.h"

namespace app {

// `settings` with the legacy charset of the locale in LC_ALL, else LC_CTYPE, else LANG (as POSIX
// ranks them), with the codeset of the program's current C locale (nl_langinfo(CODESET)).
zentra::mailstore::SessionOptions importSettingsFromLocale(zentra::mailstore::SessionOptions settings = {});

}  // namespace app
