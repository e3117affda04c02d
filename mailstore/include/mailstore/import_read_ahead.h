#pragma once
// Reading vCard files ahead of an import loop, on a second thread: while the loop stores one
// file's contacts, the next files are parsed and mapped. Items' Import takes a file prepared
// this way when its path comes up (and reads it itself otherwise), so results, warnings and
// failures are those of reading each file at its own Import. Sessions that can do this
// implement it next to Session; callers ask with dynamic_cast and do without it when absent.
#include <string>
#include <vector>

namespace zentra::mailstore {

class ImportReadAhead {
public:
    virtual ~ImportReadAhead() = default;
    // The files the loop will Import, in order, with this format (only 6, vCard, is read
    // ahead). A new list replaces the previous one; an empty list stops reading ahead and drops
    // whatever was read. Logoff stops it too.
    virtual void ReadAhead(std::vector<std::string> paths, long format) = 0;
};

}  // namespace zentra::mailstore
