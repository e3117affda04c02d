#pragma once
// File paths exactly as the file system gives them, stored compactly.
//
// A path on POSIX is a string of bytes; it need not be valid UTF-8, and only its exact bytes
// open the file again. PathList keeps every path of a long list in two byte arenas: the folder
// part of each distinct folder once, and the file names one after another, so a listed file
// costs its name's bytes plus eight bytes of index. A million files of a scanned tree take
// a few dozen megabytes, not the hundreds a list of strings would.
//
// Entries are addressed by their 0-based index, which stays valid until clear(). The list is
// append-only: what the grid, the scan and the import queue hold are indexes into one list.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zentra/key_index.h"

namespace zentra {

class PathList {
public:
    using Index = std::uint32_t;

    // Appends a path; the folder part is everything up to and including the last '/', shared
    // with earlier entries of the same folder. Throws kErrOverflow past 4 GiB of names or
    // 2^32 - 1 entries.
    Index add(std::string_view path);

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // The exact bytes of entry i (kErrSubscriptOutOfRange outside 0..size()-1).
    std::string path(Index i) const;
    std::string_view folder(Index i) const;   // up to and including its last '/', or empty
    std::string_view name(Index i) const;     // after the last '/'
    void clear();
    // Gives back the room kept for more entries, for a list that is complete.
    void shrinkToFit();

    // Heap bytes held, for benchmarks and the memory tests.
    std::size_t bytesHeld() const;

private:
    struct Entry {
        std::uint32_t folder;     // index into folderEnds_
        std::uint32_t nameEnd;    // end of the name in names_
    };
    const Entry& at(Index i) const;
    std::string_view folderBytes(std::uint32_t f) const;
    std::uint32_t folderIndexOf(std::string_view folder);

    std::string folders_;                       // every distinct folder part, one after another
    std::vector<std::uint32_t> folderEnds_;
    KeyIndex folderIndex_;                      // folder part -> its number
    std::string names_;
    std::vector<Entry> entries_;
};

// Entries of one shared list in an order of their own: a grid's column handed to the import
// queue without a copy of its paths, four bytes a row. The list must not change while it is
// shared: whoever else holds it copies it before changing it (platform::GridCells does).
class PathSequence {
public:
    static constexpr PathList::Index kNone = 0xFFFFFFFFu;   // a place without a path: reads as ""

    PathSequence() = default;
    PathSequence(std::shared_ptr<const PathList> list, std::vector<PathList::Index> order)
        : list_(std::move(list)), order_(std::move(order)) {}
    // Every entry of the list, in its order.
    explicit PathSequence(PathList list);

    std::size_t size() const { return order_.size(); }
    // The exact bytes at a 0-based place (kErrSubscriptOutOfRange outside 0..size()-1).
    std::string path(std::size_t position) const;

private:
    std::shared_ptr<const PathList> list_;
    std::vector<PathList::Index> order_;
};

// A readable form of path bytes for screens, terminals and reports: valid UTF-8 stays as it is;
// every byte that is not part of valid UTF-8, and every control character (C0, DEL, C1), is
// shown as \xNN. Two different paths never share a readable form unless one of them holds a
// literal "\x" followed by two hex digits.
std::string readablePath(std::string_view bytes);

}  // namespace zentra
