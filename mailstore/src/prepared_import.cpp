// Reading a vCard file for a contact item: every card mapped, the first kept as the item,
// further cards kept up to a budget, warnings made readable.
#include "prepared_import.h"

#include "mapi/property_catalogue.h"
#include "zentra/error.h"

namespace zentra::mailstore::detail {

contact::ContactItem emptyContact() {
    contact::ContactItem item;
    item.properties.set(mapi::PidTagMessageClass, mapi::stringValue("IPM.Contact"));
    return item;
}

std::string describeWarning(const contact::Warning& w) {
    std::string out;
    if (w.line != 0) out = "line " + std::to_string(w.line);
    if (!w.property.empty()) out += (out.empty() ? "" : ", ") + w.property;
    if (!out.empty()) out += ": ";
    return out + w.message;
}

std::size_t approximateBytes(const contact::ContactItem& contact) {
    std::size_t bytes = sizeof(contact);
    auto add = [&bytes](const contact::PropertyList& list) {
        bytes += list.indexBytes();
        for (const contact::Property& p : list) bytes += sizeof(p) + 16 + p.value.bytes.capacity();
    };
    add(contact.properties);
    for (const contact::Attachment& a : contact.attachments) add(a.properties);
    return bytes;
}

PreparedImport prepareImport(const std::string& path, const ContactItemLimits& limits) {
    PreparedImport out;
    out.path = path;
    out.limits = limits;
    out.first = emptyContact();
    std::size_t leftOut = 0;
    auto note = [&](const std::vector<contact::Warning>& warnings) {
        for (const contact::Warning& w : warnings) {
            if (out.warnings.size() < limits.warnings) out.warnings.push_back(describeWarning(w));
            else ++leftOut;
        }
    };
    std::vector<contact::Warning> fileWarnings;
    try {
        // The reader refuses anything but a regular file (a pipe would block, a device stream
        // forever) and sizes its reads to the file.
        contact::importFile(
            path, out.options,
            [&](contact::ContactItem&& item) {
                note(item.warnings);
                item.warnings = {};
                if (out.count == 0) {
                    out.first = std::move(item);
                } else if (out.rereadFrom == 0) {
                    const std::size_t bytes = approximateBytes(item);
                    if (out.heldBytes + bytes <= limits.heldBytes) {
                        out.heldBytes += bytes;
                        out.held.push_back(std::move(item));
                    } else {
                        out.rereadFrom = out.count;
                    }
                }
                ++out.count;
            },
            &fileWarnings);
    } catch (...) {
        out.error = std::current_exception();
        return out;
    }
    note(fileWarnings);
    if (leftOut != 0) out.warnings.push_back("... and " + std::to_string(leftOut) + " more warnings");
    return out;
}

}  // namespace zentra::mailstore::detail
