// Contact items: Import reads every card of a vCard file, Save stores one message per card.
#include "contact_item.h"

#include <optional>

#include "contact_properties.h"
#include "read_ahead.h"
#include "zentra/error.h"

namespace zentra::mailstore::detail {

ContactItem::ContactItem(std::shared_ptr<AttachedStore> store, pst::Nid folder, ContactItemLimits limits)
    : store_(std::move(store)), folder_(folder), limits_(limits) {
    reset();
}

void ContactItem::reset() {
    read_ = PreparedImport{};
    read_.first = emptyContact();
}

void ContactItem::Import(const std::string& path, long format) {
    if (format != kImportFormatVCard)
        throw Error(kErrInvalidArgument, "import format " + std::to_string(format) + " is not supported; use 6 (vCard)");
    if (saved_ || written_ != 0) throw Error(kErrInvalidCall, "cannot import \"" + path + "\" into a contact that is already saved");
    store_->store();   // a detached store fails here, before any reading
    reset();
    std::optional<PreparedImport> ahead = importReadAhead().take(path, limits_);
    PreparedImport read = ahead ? std::move(*ahead) : prepareImport(path, limits_);
    if (read.error) std::rethrow_exception(read.error);   // the item stays empty and can still be saved
    read_ = std::move(read);
}

void ContactItem::store(contact::ContactItem&& contact) {
    pst::messaging::Store& store = store_->store();
    if (consumedUnsaved_)
        throw Error(kErrImportFailed, (read_.path.empty() ? std::string("the contact")
                                                          : "contact " + std::to_string(written_ + 1) + " of " + read_.path) +
                                          " was lost when saving it failed; import the file again");
    consumedUnsaved_ = true;
    try {
        StoredContact stored = toStoredContact(std::move(contact), store.nameToIdMap());
        store.addMessage(folder_, std::move(stored.properties), stored.attachments);
    } catch (const Error& e) {
        if (read_.path.empty()) throw e.withContext("saving a contact");
        throw e.withContext("saving contact " + std::to_string(written_ + 1) + " of " + read_.path);
    }
    consumedUnsaved_ = false;
    ++written_;
}

void ContactItem::Save() {
    if (saved_) return;
    store_->store();
    const std::size_t total = read_.count == 0 ? 1 : read_.count;   // an empty item is one contact too
    if (written_ == 0) store(std::move(read_.first));
    while (written_ < total && written_ - 1 < read_.held.size()) store(std::move(read_.held[written_ - 1]));
    if (written_ < total) {
        // The rest of a large file: read it again and store the cards not stored yet.
        std::size_t index = 0;
        try {
            contact::importFile(read_.path, read_.options, [&](contact::ContactItem&& item) {
                if (index++ == written_ && written_ < total) store(std::move(item));
            });
        } catch (const Error& e) {
            if (e.description().find(read_.path) != std::string::npos) throw;
            throw e.withContext("reading " + read_.path + " again to save its contacts");
        }
        if (written_ < total)
            throw Error(kErrImportFailed, read_.path + " changed while it was imported: " + std::to_string(written_) +
                                              " of " + std::to_string(total) + " contacts saved");
    }
    saved_ = true;
    read_.held.clear();
    read_.held.shrink_to_fit();
    read_.heldBytes = 0;
}

std::shared_ptr<Item> makeContactItem(std::shared_ptr<AttachedStore> store, pst::Nid folder) {
    return std::make_shared<ContactItem>(std::move(store), folder);
}

}  // namespace zentra::mailstore::detail
