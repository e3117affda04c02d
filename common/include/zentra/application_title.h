#pragma once
// The program's name as the window, every message box and the import report show it; defined
// here once so that the layers showing it cannot drift apart.

namespace zentra {

inline constexpr char kApplicationTitle[] = "Zentra vCard Importer";

}  // namespace zentra
