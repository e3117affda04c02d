#pragma once
// What reading one vCard file for a contact item gives: the first card's contact, further
// cards up to a byte budget (a larger file is read again when it is saved), the count, and
// the warnings. Made on the import thread or ahead of it on a reading thread; either way the
// file is only read.
#include <cstddef>
#include <exception>
#include <string>
#include <vector>

#include "contact/mapper.h"
#include "contact_properties.h"

namespace zentra::mailstore::detail {

struct ContactItemLimits {
    // Further cards held between Import and Save; beyond this Save reads the file again.
    std::size_t heldBytes = 16u << 20;
    // Warning lines kept per Import; one more line says how many were left out.
    std::size_t warnings = 1000;
    bool operator==(const ContactItemLimits&) const = default;
};

struct PreparedImport {
    std::string path;
    ContactItemLimits limits;
    contact::MapOptions options;
    std::exception_ptr error;                 // the failure Import reports, if any
    contact::ContactItem first;               // warnings moved to `warnings`
    std::vector<contact::ContactItem> held;   // cards 2.. kept in memory, without their warnings
    std::size_t heldBytes = 0;
    std::size_t rereadFrom = 0;               // first card index Save reads again (0: none)
    std::size_t count = 0;                    // cards read
    std::vector<std::string> warnings;        // readable lines, "... and N more warnings" last
};

// Reads and maps the file; never throws (a failure lands in `error`).
PreparedImport prepareImport(const std::string& path, const ContactItemLimits& limits);

// A contact with nothing but its message class: what an item holds before Import.
contact::ContactItem emptyContact();
// Rough heap bytes of a mapped contact, for the held-cards budget.
std::size_t approximateBytes(const contact::ContactItem& contact);
// "line 12, TEL: text" (parts that are unknown are left out).
std::string describeWarning(const contact::Warning& warning);

}  // namespace zentra::mailstore::detail
