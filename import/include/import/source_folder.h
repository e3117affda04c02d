#pragma once
// Names the import run derives: the folder a listed file mirrors into, and the run stamp.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace importrun {

enum class PathStyle { Posix, Windows };
#ifdef _WIN32
constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// The folder holding a listed file, relative to its root and without a trailing separator,
// with components joined by "\" (the store's separator): /home/ann/cards/bob.vcf gives
// home\ann\cards; C:\Users\ann\bob.vcf gives Users\ann; \\server\share\x\y.vcf gives x.
// On POSIX paths, empty components are dropped and each name is made one the store can hold
// (see kMaxStoreFolderName; a "\" in a name becomes U+FF3C).
// A path without a root (no drive colon, no leading "/") is an index error (9); a root itself
// ("/", "D:\") an invalid-call error (5). A file lying directly in a root (/x.vcf, D:\x.vcf)
// mirrors into the top-level folder kRootFolderName.
QString SourceRelativeFolder(const QString& cellText, PathStyle style = kNativePathStyle);

// The store folder of files lying directly in a root folder.
constexpr const char* kRootFolderName = "(root)";

// Longest folder name written to a store; longer source names are shortened with a hash.
constexpr int kMaxStoreFolderName = 255;

// One source folder name as a store folder name: a "\" in it becomes U+FF3C (it would read as
// a level separator), an over-long one is cut and tagged with a hash of the whole name.
QString StoreFolderName(const QString& name);
// Source folder names, outermost first, as a store folder path ("a\b"); empty names are left out.
QString StoreFolderPath(const QStringList& sourceNames);

// Leading and trailing blanks removed (other white space kept), as the classic Trim does.
QString TrimSpaces(const QString& text);

// "d.m.YY H.m.ss": 6 December 2026 09:05:07 gives "6.12.26 9.5.07".
QString RunStamp(const QDateTime& localTime);

}  // namespace importrun
