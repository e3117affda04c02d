#pragma once
// The program's name, version and texts, set on the application at start and shown by the
// window; the Windows version resource carries the same values.
#include <QString>

#include "zentra/application_title.h"

class QIcon;

namespace app {

using zentra::kApplicationTitle;   // message box titles
inline constexpr const char* kVersionText = "4.01";
inline constexpr const char* kNumericVersion = "4.1.0.0";
inline constexpr const char* kDescription = "Import vCard Contacts to Outlook";
inline constexpr const char* kExecutableName = "zentra-vcard-importer";
inline constexpr const char* kDesktopId = "io.zentra.VCardImporter";   // the .desktop entry's name

// The main window's caption: the title and the file type it imports.
QString windowCaption();
QString copyrightLine();

QIcon applicationIcon();

// Application name, version, desktop entry and icon, for dialogs and the desktop. No display
// name is set, so window and box titles reach the window manager exactly as given.
void applyApplicationInfo();

// The help manual installed beside the program: <program folder>/../share/doc/<name>/manual.html
QString helpManualPath();
// The same as a file URL, the target the Help command opens.
QString helpManualTarget();

}  // namespace app
