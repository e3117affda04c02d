#pragma once
// The contact item behind Items.Add(2): Import(path, 6) fills it from a vCard file, Save stores
// it in its folder. A file with several cards gives one contact per card, in file order: the
// item itself holds the first, Save stores the others right after it in the same folder.
//
// Cards beyond the first are held in memory up to a byte budget; the rest of a very large file
// is read again at Save and written card by card, so memory does not grow with the file.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "contact/mapper.h"
#include "mailstore/import_report.h"
#include "mailstore/profile.h"
#include "mailstore/rdo.h"
#include "prepared_import.h"

namespace zentra::mailstore::detail {

class ContactItem final : public Item, public ImportReport {
public:
    ContactItem(std::shared_ptr<AttachedStore> store, pst::Nid folder, ContactItemLimits limits = {});

    // format must be 6 (vCard). Only regular files are opened, so a pipe or device named like a
    // vCard cannot block the import. A file without a card fails with kErrImportFailed and
    // leaves the item empty (it can still be saved, as a contact with nothing but its class).
    void Import(const std::string& path, long format) override;
    // Stores this item and the further cards of its file. Saving again stores nothing new. A
    // contact handed to the store is consumed by it: after a failed Save (a full disk leaves
    // the store refusing all further work anyway), another Save reports that contact as lost
    // instead of storing an empty one in its place.
    void Save() override;

    long ContactCount() const override { return static_cast<long>(read_.count); }
    std::vector<std::string> Warnings() const override { return read_.warnings; }

private:
    void reset();
    void store(contact::ContactItem&& contact);

    std::shared_ptr<AttachedStore> store_;
    pst::Nid folder_;
    ContactItemLimits limits_;
    PreparedImport read_;                    // the last successful Import (path empty before)
    std::size_t written_ = 0;                // contacts of this item already stored
    bool consumedUnsaved_ = false;           // contact written_ + 1 went to a store that failed
    bool saved_ = false;
};

std::shared_ptr<Item> makeContactItem(std::shared_ptr<AttachedStore> store, pst::Nid folder);

}  // namespace zentra::mailstore::detail
