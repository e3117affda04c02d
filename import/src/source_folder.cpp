#include "import/source_folder.h"

#include <QStringList>

#include "import/string_arrays.h"
#include "zentra/error.h"

namespace importrun {
namespace {

[[noreturn]] void noRoot() { throw zentra::Error(zentra::kErrSubscriptOutOfRange, "Subscript out of range"); }

// What follows the root: "Users\ann\bob.vcf" for C:\Users\ann\bob.vcf.
QString belowWindowsRoot(const QString& path) {
    if (path.startsWith(QStringLiteral("\\\\"))) {   // \\server\share\rest
        const qsizetype serverEnd = path.indexOf(u'\\', 2);
        const qsizetype shareEnd = serverEnd < 0 ? -1 : path.indexOf(u'\\', serverEnd + 1);
        if (shareEnd < 0) noRoot();
        return path.mid(shareEnd + 1);
    }
    const QStringList pieces = path.split(u':');
    if (pieces.size() < 2) noRoot();
    return TrimSpaces(pieces[1]).mid(1);   // drop the separator after the drive colon
}

}  // namespace

// A folder name the store can hold: a "\" would read as a level separator in store paths,
// so it becomes U+FF3C (fullwidth reverse solidus); a name longer than a store folder name
// may be is cut and given a short hash of the whole name, so long siblings stay apart.
QString StoreFolderName(const QString& name) {
    QString safe = name;
    safe.replace(u'\\', QChar(0xFF3C));
    if (safe.size() > kMaxStoreFolderName) {
        uint32_t hash = 2166136261u;   // FNV-1a over the UTF-16 units: the same name, the same tag
        for (QChar c : name) hash = (hash ^ c.unicode()) * 16777619u;
        const QString tag = QString::number(hash, 16).rightJustified(8, u'0');
        safe = safe.left(kMaxStoreFolderName - 9) + u'~' + tag;
    }
    return safe;
}

QString StoreFolderPath(const QStringList& sourceNames) {
    QStringList names;
    for (const QString& name : sourceNames)
        if (!name.isEmpty()) names << StoreFolderName(name);
    return names.join(u'\\');
}

namespace {

QString belowPosixRoot(const QString& path) {
    if (!path.startsWith(u'/')) noRoot();
    qsizetype start = 0;
    while (start < path.size() && path[start] == u'/') ++start;
    return path.mid(start);
}

}  // namespace

QString TrimSpaces(const QString& s) {
    qsizetype begin = 0, end = s.size();
    while (begin < end && s[begin] == u' ') ++begin;
    while (end > begin && s[end - 1] == u' ') --end;
    return s.mid(begin, end - begin);
}

QString SourceRelativeFolder(const QString& cellText, PathStyle style) {
    const QString path = TrimSpaces(cellText);
    const bool windows = style == PathStyle::Windows;
    const QChar separator = windows ? u'\\' : u'/';
    const QString rest = windows ? belowWindowsRoot(path) : belowPosixRoot(path);
    if (rest.isEmpty()) throw zentra::Error(zentra::kErrInvalidCall, "Invalid procedure call or argument");
    const QString folderPart = registry::GetFolderPart(rest, separator);
    // A file lying directly in a root has no folder below it: it goes to a folder of its own
    // at the top of the store, rather than ending the run.
    if (folderPart.isEmpty()) return QString::fromLatin1(kRootFolderName);
    const QString folder = folderPart.left(folderPart.size() - 1);
    // Components joined with the store's separator; empty ones (from "//") are dropped.
    if (!windows) return StoreFolderPath(folder.split(u'/'));
    return folder;
}

QString RunStamp(const QDateTime& t) {
    const QDate d = t.date();
    const QTime time = t.time();
    return QStringLiteral("%1.%2.%3 %4.%5.%6")
        .arg(d.day())
        .arg(d.month())
        .arg(d.year() % 100, 2, 10, QLatin1Char('0'))
        .arg(time.hour())
        .arg(time.minute())
        .arg(time.second(), 2, 10, QLatin1Char('0'));
}

}  // namespace importrun
