// Contact items: Import reads every card of a vCard file, Save stores one message per card.
#include "contact_item.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "contact/property_ids.h"
#include "contact_properties.h"
#include "zentra/error.h"

namespace zentra::mailstore::detail {
namespace {

contact::ContactItem emptyContact() {
    contact::ContactItem item;
    item.properties.set(contact::tagKey(contact::tag::kMessageClass), std::string("IPM.Contact"));
    return item;
}

long errorNumberFor(int err) {
    switch (err) {
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EACCES:
    case EPERM: return kErrPermissionDenied;
    default: return kErrDeviceIO;
    }
}

// Opening a FIFO blocks until someone writes to it, and a device can stream forever: only
// regular files (or links to them) are read. Returns the file's size.
uint64_t requireRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        throw Error(errorNumberFor(err), path + ": " + std::strerror(err));
    }
    if (S_ISDIR(st.st_mode)) throw Error(kErrPathNotFound, path + ": is a folder, not a vCard file");
    if (!S_ISREG(st.st_mode))
        throw Error(kErrDeviceIO, path + ": is not a regular file (a pipe, socket or device); it is not read");
    return static_cast<uint64_t>(st.st_size);
}

// The reader prepares a buffer of a whole chunk for every read; most vCard files are a few
// hundred bytes, so reading them in 64 KB chunks would cost more in clearing buffers than in
// parsing.
std::size_t chunkBytesFor(uint64_t fileSize) {
    constexpr uint64_t kSmallest = 1024, kLargest = 64u << 10;
    return static_cast<std::size_t>(std::clamp<uint64_t>(fileSize + 1, kSmallest, kLargest));
}

}  // namespace

std::string describeWarning(const contact::Warning& w) {
    std::string out;
    if (w.line != 0) out = "line " + std::to_string(w.line);
    if (!w.property.empty()) out += (out.empty() ? "" : ", ") + w.property;
    if (!out.empty()) out += ": ";
    return out + w.message;
}

ContactItem::ContactItem(std::shared_ptr<AttachedStore> store, pst::Nid folder, ContactItemLimits limits)
    : store_(std::move(store)), folder_(folder), limits_(limits), first_(emptyContact()) {}

void ContactItem::reset() {
    source_.clear();
    count_ = 0;
    first_ = emptyContact();
    held_.clear();
    heldBytes_ = 0;
    rereadFrom_ = 0;
    warnings_.clear();
    warningsLeftOut_ = 0;
}

void ContactItem::noteWarnings(const std::vector<contact::Warning>& warnings) {
    for (const contact::Warning& w : warnings) {
        if (warnings_.size() < limits_.warnings)
            warnings_.push_back(describeWarning(w));
        else
            ++warningsLeftOut_;
    }
}

std::size_t ContactItem::approximateBytes(const contact::ContactItem& item) {
    std::size_t bytes = sizeof(item);
    auto add = [&bytes](const contact::PropertyList& list) {
        for (const contact::Property& p : list) {
            bytes += sizeof(p) + 16;
            if (auto* s = std::get_if<std::string>(&p.value)) bytes += s->capacity();
            if (auto* b = std::get_if<contact::Binary>(&p.value)) bytes += b->bytes.capacity();
            if (auto* m = std::get_if<std::vector<std::string>>(&p.value))
                for (const std::string& s : *m) bytes += sizeof(s) + s.capacity();
        }
    };
    add(item.properties);
    for (const contact::Attachment& a : item.attachments) add(a.properties);
    for (const contact::Warning& w : item.warnings) bytes += sizeof(w) + w.message.capacity() + w.property.capacity();
    return bytes;
}

void ContactItem::Import(const std::string& path, long format) {
    if (format != kImportFormatVCard)
        throw Error(kErrInvalidArgument, "import format " + std::to_string(format) + " is not supported; use 6 (vCard)");
    if (saved_ || written_ != 0) throw Error(kErrInvalidCall, "cannot import \"" + path + "\" into a contact that is already saved");
    store_->store();   // a detached store fails here, before any reading
    reset();

    options_.now = contact::fileTimeNow();
    std::vector<contact::Warning> fileWarnings;
    std::size_t index = 0;
    try {
        options_.reader.chunkBytes = chunkBytesFor(requireRegularFile(path));
        contact::importFile(
            path, options_,
            [&](contact::ContactItem&& item) {
                noteWarnings(item.warnings);
                item.warnings.clear();
                if (index == 0) {
                    first_ = std::move(item);
                } else if (rereadFrom_ == 0) {
                    std::size_t bytes = approximateBytes(item);
                    if (heldBytes_ + bytes <= limits_.heldBytes) {
                        heldBytes_ += bytes;
                        held_.push_back(std::move(item));
                    } else {
                        rereadFrom_ = index;
                    }
                }
                ++index;
            },
            &fileWarnings);
    } catch (const Error&) {
        reset();   // the item stays empty and can still be saved
        throw;
    }
    noteWarnings(fileWarnings);
    if (warningsLeftOut_ != 0)
        warnings_.push_back("... and " + std::to_string(warningsLeftOut_) + " more warnings");
    source_ = path;
    count_ = index;
}

void ContactItem::store(const contact::ContactItem& item) {
    pst::messaging::Store& store = store_->store();
    try {
        StoredContact stored = toStoredContact(item, store.nameToIdMap());
        store.addMessage(folder_, std::move(stored.properties), stored.attachments);
    } catch (const Error& e) {
        if (source_.empty()) throw e.withContext("saving a contact");
        throw e.withContext("saving contact " + std::to_string(written_ + 1) + " of " + source_);
    }
    ++written_;
}

void ContactItem::Save() {
    if (saved_) return;
    store_->store();
    const std::size_t total = count_ == 0 ? 1 : count_;   // an empty item is one contact too
    if (written_ == 0) store(first_);
    while (written_ < total && written_ - 1 < held_.size()) store(held_[written_ - 1]);
    if (written_ < total) {
        // The rest of a large file: read it again and store the cards not stored yet.
        std::size_t index = 0;
        try {
            contact::importFile(source_, options_, [&](contact::ContactItem&& item) {
                if (index++ == written_ && written_ < total) store(item);
            });
        } catch (const Error& e) {
            if (e.description().find(source_) != std::string::npos) throw;
            throw e.withContext("reading " + source_ + " again to save its contacts");
        }
        if (written_ < total)
            throw Error(kErrImportFailed, source_ + " changed while it was imported: " + std::to_string(written_) +
                                              " of " + std::to_string(total) + " contacts saved");
    }
    saved_ = true;
    held_.clear();
    held_.shrink_to_fit();
    heldBytes_ = 0;
}

std::shared_ptr<Item> makeContactItem(std::shared_ptr<AttachedStore> store, pst::Nid folder) {
    return std::make_shared<ContactItem>(std::move(store), folder);
}

}  // namespace zentra::mailstore::detail
