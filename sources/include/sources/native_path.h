#pragma once
// Paths in this program are text in the platform's own form. Folder paths end in the native
// separator ("/" here, "\" on Windows); a path that already ends in one gets no second one.
#include <QDir>
#include <QString>

namespace sources {

inline QChar nativeSeparator() { return QDir::separator(); }

inline QString withTrailingSeparator(const QString& path) {
    if (path.endsWith(nativeSeparator())) return path;
    return path + nativeSeparator();
}

}  // namespace sources
