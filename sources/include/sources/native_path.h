#pragma once
// Folder paths in this program end in the separator "/"; a path that already ends in one gets
// no second one. Paths are bytes as the file system names them (std::string), or text where
// they come from a dialog (QString, turned into bytes with QFile::encodeName).
#include <QString>
#include <string>

namespace sources {

inline QString withTrailingSeparator(const QString& path) {
    if (path.endsWith(u'/')) return path;
    return path + u'/';
}

inline std::string withTrailingSeparator(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

}  // namespace sources
