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

namespace zentra::mailstore::detail {

struct ContactItemLimits {
    // Further cards held between Import and Save; beyond this Save reads the file again.
    std::size_t heldBytes = 16u << 20;
    // Warning lines kept per Import; one more line says how many were left out.
    std::size_t warnings = 1000;
};

class ContactItem final : public Item, public ImportReport {
public:
    ContactItem(std::shared_ptr<AttachedStore> store, pst::Nid folder, ContactItemLimits limits = {});

    // format must be 6 (vCard). Only regular files are opened, so a pipe or device named like a
    // vCard cannot block the import. A file without a card fails with kErrImportFailed and
    // leaves the item empty (it can still be saved, as a contact with nothing but its class).
    void Import(const std::string& path, long format) override;
    // Stores this item and the further cards of its file. Saving again stores nothing new;
    // after a failed Save another Save goes on with the contacts not yet stored.
    void Save() override;

    long ContactCount() const override { return static_cast<long>(count_); }
    std::vector<std::string> Warnings() const override { return warnings_; }

private:
    void reset();
    void store(const contact::ContactItem& item);
    void noteWarnings(const std::vector<contact::Warning>& warnings);
    static std::size_t approximateBytes(const contact::ContactItem& item);

    std::shared_ptr<AttachedStore> store_;
    pst::Nid folder_;
    ContactItemLimits limits_;
    contact::MapOptions options_;

    std::string source_;                     // the file of the last successful Import
    std::size_t count_ = 0;                  // contacts the last Import produced
    contact::ContactItem first_;             // this item's own contents
    std::vector<contact::ContactItem> held_; // cards 2.. kept in memory
    std::size_t heldBytes_ = 0;
    std::size_t rereadFrom_ = 0;             // first card index Save reads again (0: none)
    std::size_t written_ = 0;                // contacts of this item already stored
    bool saved_ = false;

    std::vector<std::string> warnings_;
    std::size_t warningsLeftOut_ = 0;
};

std::shared_ptr<Item> makeContactItem(std::shared_ptr<AttachedStore> store, pst::Nid folder);

// "line 12, TEL: text" (parts that are unknown are left out).
std::string describeWarning(const contact::Warning& warning);

}  // namespace zentra::mailstore::detail
