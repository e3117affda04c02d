#pragma once
// Turns the files a user picked in the open dialog into the selection text the add-files
// command reads: one pick gives its full path; several give their folder, then a NUL and
// the name (relative to that folder) of each pick in the dialog's order.
#include <QString>
#include <QStringList>

namespace platform {

// Builds the selection text for `picks` (absolute paths, the dialog's order; none = "").
// Throws zentra::Error kErrFileTooLarge (20476) when the text, its NULs and the
// terminating NUL need more than `maxFileSize` characters, as the classic dialog does
// when its return buffer is too small.
QString selectionTextFromPicks(const QStringList& picks, int maxFileSize);

// The characters the selection text occupies in the dialog's return buffer.
int selectionBufferLength(const QString& selectionText);

}  // namespace platform
