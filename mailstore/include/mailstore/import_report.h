#pragma once
// What an item's Import made of a vCard file, for callers that report totals (the
// command-line importer's summary). Items that fill themselves from files implement it
// next to Item; callers ask for it with dynamic_cast and do without it when absent.
#include <string>
#include <vector>

namespace zentra::mailstore {

class ImportReport {
public:
    virtual ~ImportReport() = default;
    // Contacts the last Import produced (one per card; 0 before Import or after a failure).
    virtual long ContactCount() const = 0;
    // The parser's and the mapping's warnings of the last Import, as readable lines
    // ("line 12, TEL: ...").
    virtual std::vector<std::string> Warnings() const = 0;
};

}  // namespace zentra::mailstore
