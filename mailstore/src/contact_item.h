#pragma once
// The contact item behind Items.Add(2): Import(file, 6) fills it from a vCard file, Save stores
// it in its folder. A file with several cards gives one contact per card, in file order: the
// item holds the first, Save stores it and the others after it as they are read.
#include <memory>

#include "mailstore/rdo.h"
#include "pipeline/file_import.h"

namespace zentra::mailstore::detail {

class ContactItem final : public Item {
public:
    ContactItem(std::shared_ptr<pipeline::ImportSession> session, std::shared_ptr<pipeline::OpenStore> store,
                pst::Nid folder);

    using Item::Import;
    // format must be 6 (vCard). Only regular files are opened, so a pipe or device named like a
    // vCard cannot block the import. A file without a card fails with kErrImportFailed.
    void Import(const pipeline::SourceFile& file, long format) override;
    // Stores this item and the further cards of its file. An item whose Import failed stores
    // nothing (a file that gave no card leaves no blank contact behind); an item never imported
    // is stored as a contact with nothing but its class. Saving again stores nothing new. After
    // a failed Save (a full disk leaves the store refusing all further work anyway), the contacts
    // not stored are reported lost by another Save.
    void Save() override;
    void Observe(pipeline::ImportObserver* observer) override { observer_ = observer; }
    const pipeline::FileOutcome& Outcome() const override { return import_.outcome(); }

private:
    std::shared_ptr<pipeline::OpenStore> store_;
    pst::Nid folder_;
    pipeline::FileImport import_;
    pipeline::ImportObserver* observer_ = nullptr;
    enum class State { New, Imported, ImportFailed, Saved, SaveFailed } state_ = State::New;
};

}  // namespace zentra::mailstore::detail
