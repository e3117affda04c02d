#pragma once
// Text-array operations that turn the listed file paths into a sorted list of distinct folders.
// Every comparison is ordinal by UTF-16 code units (QString's own ordering), never by locale.
// Positions outside the array raise zentra::Error 9 ("Subscript out of range").
#include <QChar>
#include <QString>
#include <vector>

namespace modMain {

using TextArray = std::vector<QString>;   // first position 0

// Sorts positions low..high (both included) in place: partition sort with a middle pivot.
void SortStrings(TextArray& list, int low, int high);

// Keeps the first entry of every run of equal non-empty entries, drops the rest and every
// empty entry, and shrinks the array to what remains. An array left with nothing is an
// index error, and then keeps its size with every entry empty.
void CompactStrings(TextArray& list);

}  // namespace modMain

namespace registry {

// The leading part of path up to and including its last separator; "" when there is none.
// The empty path is an index error.
QString GetFolderPart(const QString& path, QChar separator);

}  // namespace registry
